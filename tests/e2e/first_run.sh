#!/usr/bin/env bash
# The first start in a fresh portable folder shows the first-run pages.
# Refusing the agreement ends the process and writes no store; the next
# start shows the pages again, and choosing "当前目录" creates
# ".tessik_config\Tessik.kelm" beside the program with "NewComer" false,
# after which the program goes on with its stores loaded.
source "$(dirname "$0")/lib.sh"

# Nothing but the program: no data folder at all.
rm -rf "$DATA"
# The per-user folder of this prefix must hold no store either, or the
# program would take it as its data folder.
if find "$WINEPREFIX/drive_c/users" -path '*Ormund/Tessik/Tessik.kelm' 2>/dev/null | grep -q .; then
  fail "the Wine prefix already holds a per-user Tessik.kelm"
fi

# Client points of the first-run card in the 1080 x 720 window at DPI 96:
# card (270, 180) 540 x 360.
MAIN_BUTTON=(750 500)     # "继续" / "同意并继续"
REFUSE_BUTTON=(650 500)   # "不同意并退出"
LOCATION_ROW=(400 340)    # the data-location row of page 3
MENU_SECOND_ROW=$((70 + 70 * 65536))

click() { probe click "$MAIN_CLASS" "$MAIN_TITLE" "$1" "$2" >/dev/null || fail "click at $1,$2"; }
# A click where the card's barrier swallows it: one synchronous repaint.
paint_now() { click 1000 650; }
shot() {
  paint_now
  local rect
  rect=$(probe wait "$MAIN_CLASS" "$MAIN_TITLE" visible 5000 | awk -F'\t' '{print $5}')
  IFS=, read -r x y w h <<<"$rect"
  import -window root -crop "${w}x${h}+${x}+${y}" "$WORK/$1.png"
}

start_tessik
pid=$LAST_PID
wait_main_window visible
shot first_run_1
click "${MAIN_BUTTON[@]}"
shot first_run_2
click "${REFUSE_BUTTON[@]}"
wait_exit "$pid"
[ "$RC" = 0 ] || fail "refusing ended with $RC"
[ -z "$(find "$APP" -name Tessik.kelm)" ] || fail "refusing wrote $(find "$APP" -name Tessik.kelm)"
[ ! -e "$DATA" ] || fail "refusing made the data folder"

start_tessik
pid=$LAST_PID
wait_main_window visible
# The caption's close glyph still works above the card: it only hides.
close_main_window
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_TRAY 0 $WM_LBUTTONUP >/dev/null || fail "no window for the tray click"
wait_main_window visible
shot first_run_1_again
click "${MAIN_BUTTON[@]}"
click "${MAIN_BUTTON[@]}"
shot first_run_3
click "${LOCATION_ROW[@]}"
probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null || fail "no data-location menu"
click_tray_menu_row $MENU_SECOND_ROW
shot first_run_3_portable
[ ! -e "$DATA/Tessik.kelm" ] || fail "a store was written before the choice was confirmed"
click "${MAIN_BUTTON[@]}"

for _ in $(seq 100); do [ -f "$DATA/Tessik.kelm" ] && break; sleep 0.1; done
[ -f "$DATA/Tessik.kelm" ] || fail "no .tessik_config\\Tessik.kelm beside the program"
grep -q 'NewComer : false' "$DATA/Tessik.kelm" || fail "NewComer is not false: $(cat "$DATA/Tessik.kelm")"
for f in DesktopContainer.kelm MagnetCom.kelm QuickPanelCom.kelm; do
  [ -f "$DATA/$f" ] || fail "store $f not loaded"
done
grep -q 'containerDir' "$DATA/Tessik.kelm" || fail "no containerDir after the first run"
runs "$pid" || fail "the program ended after the choice"
wait_main_window visible
shot after_first_run
# A first run on a machine with a second drive puts the box folder at its
# root: the prefix's own D:, or Z:, the Unix root, in a prefix without it.
# Leave nothing there.
container=$(tr -d '\r' <"$DATA/Tessik.kelm" | sed -n 's/^ *containerDir : "\(.*\)",*$/\1/p' | sed 's|\\\\|/|g')
case "$container" in
Z:/.tessik/user_storage/u_*) rm -rf "${container#Z:}"; rmdir "/.tessik/user_storage" "/.tessik" 2>/dev/null || true ;;
D:/.tessik/user_storage/u_*)
  rm -rf "$WINEPREFIX/drive_d${container#D:}"
  rmdir "$WINEPREFIX/drive_d/.tessik/user_storage" "$WINEPREFIX/drive_d/.tessik" 2>/dev/null || true
  ;;
esac

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
