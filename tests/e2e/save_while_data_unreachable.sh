#!/usr/bin/env bash
# A box moved while the data folder cannot be reached: the save fails, the
# user is told, nothing is written anywhere else; once the folder is back,
# quitting from the tray saves the move, and the next start shows the box
# where the user put it.
source "$(dirname "$0")/lib.sh"

mkdir -p "$WORK/boxes"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_box_store "$(printf '    ComID_a1111{\n        id : "a1111",\n        x : 100,\n        y : 100,\n        cx : 300,\n        cy : 300,\n        title : "Moved"\n    }')"

BOX_CLASS="Tessik.Kelm.Com.Container.Class.*"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_at "100,100,300,300"
wait_still "$BOX_CLASS" "Tessik.Com.Container"

AWAY="$APP/.tessik_config.away"
mv "$DATA" "$AWAY"
# Drag the box by its title band 60 right and 40 down.
xdotool mousemove 250 120 mousedown 1
for step in 1 2 3 4 5 6; do
  xdotool mousemove $((250 + step * 10)) $((120 + step * 40 / 6))
  sleep 0.05
done
xdotool mouseup 1
wait_box_at "160,140,300,300"
[ "$(close_notices)" -ge 1 ] || fail "the failed save was not told"
[ ! -e "$DATA" ] || fail "a save made the data folder again: $(ls -a "$DATA")"
grep -A3 'ComID_a1111' "$AWAY/DesktopContainer.kelm" | grep -q 'x : 100' || fail "the store moved with the folder changed"

# Quitting while the move still cannot be saved asks first; "否" stays.
open_tray_menu
click_tray_menu_row $TRAY_ROW_QUIT
probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "quitting with an unsaved move did not ask"
probe post "#32770" "Tessik" 273 7 0 >/dev/null # WM_COMMAND IDNO
probe gone "#32770" "Tessik" 10000 >/dev/null || fail "the question stayed"
[ "$(probe count "$MAIN_CLASS" "$MAIN_TITLE")" = 1 ] || fail "Tessik quit without the move"

mv "$AWAY" "$DATA"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
grep -A4 'ComID_a1111' "$DATA/DesktopContainer.kelm" | grep -q 'x : 160' ||
  fail "the move was not saved: $(cat "$DATA/DesktopContainer.kelm")"
[ ! -e "$DATA/DesktopContainer.kelm.saving" ] || fail "a half save was left"
grep -q 'Could not save .*DesktopContainer.kelm' "$DATA/logs/${TODAY}_00.txt" || fail "the failed save was not logged"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_at "160,140,300,300"
quit_from_tray
wait_exit "$pid"
echo "PASS"
