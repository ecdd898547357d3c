#!/usr/bin/env bash
# A start in a portable data folder: store files and their markers, the icon
# font, the box root folder, log naming and format, clean-up of old logs,
# the tray menu's "返回", and a quit from the tray that loses nothing.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes/root")\""
mkdir -p "$DATA/logs"
# Old logs are the logger's own (its names, its lines); the user's file
# beside them is not, however old.
OLD_LOG="$(date -d '-3 days' +%Y_%m_%d)_00.txt" RECENT_LOG="$(date -d '-2 days' +%Y_%m_%d)_00.txt"
printf '[Tessik][2026/01/01 08:00:00][INFO] old\r\n' > "$DATA/logs/$OLD_LOG"
printf '[Tessik][2026/01/01 08:00:00][INFO] recent\r\n' > "$DATA/logs/$RECENT_LOG"
echo mine > "$DATA/logs/notes.txt"
echo earlier > "$DATA/logs/${TODAY}_00.txt"
touch -d '-49 hours' "$DATA/logs/$OLD_LOG" "$DATA/logs/notes.txt"
touch -d '-47 hours' "$DATA/logs/$RECENT_LOG"

start_tessik
pid=$LAST_PID
wait_main_window visible

for f in Tessik.kelm DesktopContainer.kelm MagnetCom.kelm QuickPanelCom.kelm; do
  [ -f "$DATA/$f" ] || fail "store $f missing"
done
grep -q 'ver : 100' "$DATA/Tessik.kelm" || fail "ver marker missing"
grep -q 'containerDir' "$DATA/Tessik.kelm" || fail "containerDir lost"
for f in DesktopContainer.kelm MagnetCom.kelm QuickPanelCom.kelm; do
  grep -q 'test : 0' "$DATA/$f" || fail "test marker missing in $f"
done
[ -d "$WORK/boxes/root" ] || fail "box root folder not created"
[ "$(stat -c %s "$DATA/Font-AwesomeFree.ttf")" -gt 100000 ] || fail "icon font not written"

[ ! -e "$DATA/logs/$OLD_LOG" ] || fail "log older than 48 hours kept"
[ -e "$DATA/logs/$RECENT_LOG" ] || fail "log of 47 hours removed"
[ -e "$DATA/logs/notes.txt" ] || fail "a file the logger did not write was removed"
log="$DATA/logs/${TODAY}_01.txt"
[ -f "$log" ] || fail "log file ${TODAY}_01.txt missing: $(ls "$DATA/logs")"

# Closing only hides the main window; "返回" of the tray menu just closes
# the menu, and a left click on the tray icon brings the window back.
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_CLOSE 0 0 >/dev/null || fail "no main window to close"
wait_main_window hidden
open_tray_menu
click_tray_menu_row $TRAY_ROW_BACK
probe gone "$MENU_CLASS" "$MENU_TITLE" 10000 >/dev/null || fail "the tray menu stayed open after 返回"
probe list | grep -F "$MAIN_CLASS" | awk -F'\t' '$3 == 1 {exit 1}' || fail "返回 showed the main window"
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_TRAY 0 $WM_LBUTTONUP >/dev/null || fail "no window for the tray click"
wait_main_window visible

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
grep -qE "$LINE_RE" "$log" || fail "no line in the log format"
grep -q '\]\[INFO\] Tessik started; data folder Z:' "$log" || fail "start line missing"
grep -q '\]\[INFO\] Quit from the tray\.' "$log" || fail "last line before quit lost"
bad=$(grep -cvE "$LINE_RE" "$log" || true)
[ "$bad" = 0 ] || fail "$bad lines not in the log format"
echo "PASS"
