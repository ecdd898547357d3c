#!/usr/bin/env bash
# A first start in an empty folder, with no store anywhere: nothing is
# loaded and neither a store nor a log file is written before the first-run
# choice; the icon font goes to the temporary folder and is removed at exit.
source "$(dirname "$0")/lib.sh"

rm -rf "$DATA"
USER_HOME=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData | grep -v '/Public/' | head -1)
PER_USER="$USER_HOME/Roaming/Ormund/Tessik"
FONT="$(dirname "$USER_HOME")/Temp/pkg-ts-fa.tmp.ttf"
[ ! -e "$PER_USER/Tessik.kelm" ] || fail "the per-user folder of the test prefix holds a store"
rm -f "$FONT"

nothing_written() {
  [ ! -e "$DATA" ] || fail "$1: a data folder was made beside the program: $(ls -A "$DATA")"
  [ -z "$(find "$APP" -name '*.kelm' -o -name 'logs')" ] || fail "$1: stores or logs beside the program"
  [ ! -e "$PER_USER/Tessik.kelm" ] && [ ! -e "$PER_USER/logs" ] || fail "$1: stores or logs in $PER_USER"
}

start_tessik
pid=$LAST_PID
wait_main_window visible
[ -s "$FONT" ] || fail "icon font not in the temporary folder"
nothing_written "running"
import -window root "$WORK/first_start.png" 2>/dev/null || true

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
[ ! -e "$FONT" ] || fail "the icon font stayed in the temporary folder"
nothing_written "after quitting"
echo "PASS"
