#!/usr/bin/env bash
# Quitting while a store cannot be saved asks first. While that question is
# open, a file dropped onto a folder box is refused and told: it stays where
# it was and nothing arrives in the box, also after the user chose to stay.
source "$(dirname "$0")/lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"

PROJECTS="$WORK/Projects"
SOURCE="$WORK/source"
mkdir -p "$PROJECTS" "$SOURCE" "$WORK/boxes"
printf 'the dropped notes\n' >"$SOURCE/notes.txt"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box e5151 "Projects" "$PROJECTS"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "Tessik.Kelm.Com.Container.Class.*" "Tessik.Com.Container"

# The data folder cannot be reached while the box is moved: the move waits
# unsaved.
AWAY="$APP/.tessik_config.away"
mv "$DATA" "$AWAY"
xdotool mousemove $((bx + 150)) $((by + 20)) mousedown 1
for step in 1 2 3 4 5 6; do
  xdotool mousemove $((bx + 150 + step * 5)) $((by + 20 + step * 5))
  sleep 0.05
done
xdotool mouseup 1
wait_box_at "$((bx + 30)),$((by + 30)),$bw,$bh"
[ "$(close_notices)" -ge 1 ] || fail "the failed save was not told"

open_tray_menu
click_tray_menu_row $TRAY_ROW_QUIT
probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "quitting with an unsaved move did not ask"

LOG="$AWAY/logs/${TODAY}_00.txt"
wine "$DROP_EXE" $((bx + 30 + 120)) $((by + 30 + 200)) "$(win_path "$SOURCE/notes.txt")" >"$WORK/drop.txt" 2>/dev/null &
drop_pid=$!
refused=false
for _ in $(seq 300); do
  if grep -q '正在退出，拖入的文件没有放入收纳盒' "$LOG" 2>/dev/null; then
    refused=true
    break
  fi
  sleep 0.1
done
wait "$drop_pid" || true
$refused || fail "the drop during the quit's question was not refused and told"

# "否": Tessik stays; the notice goes with it.
probe post "#32770" "Tessik" 273 7 0 >/dev/null # WM_COMMAND IDNO
probe gone "#32770" "Tessik" 10000 >/dev/null || close_notices >/dev/null
[ "$(probe count "$MAIN_CLASS" "$MAIN_TITLE")" = 1 ] || fail "Tessik quit although the user stayed"
[ "$(cat "$SOURCE/notes.txt")" = "the dropped notes" ] || fail "the dropped file left its place"
[ -z "$(ls -A "$PROJECTS")" ] || fail "the box's folder holds: $(ls -A "$PROJECTS")"

mv "$AWAY" "$DATA"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
[ -z "$(ls -A "$PROJECTS")" ] || fail "the box's folder holds: $(ls -A "$PROJECTS")"
echo "PASS"
