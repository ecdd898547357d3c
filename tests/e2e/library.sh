#!/usr/bin/env bash
# The component library page: "万能收纳盒" opens the new-box chooser and its
# "映射收纳盒" row makes a box at the normal z order (1); "磁力访问窗" opens
# the magnet window's switch, whose toggle stores "enabled" in
# "MagnetCom.kelm".
source "$(dirname "$0")/lib.sh"

seed_app_store "showTessikMain : true" "containerDir : \"$(store_path "$WORK/boxes")\"" 'themeBaseColor : "#FFFFFF"'
mkdir -p "$WORK/boxes"

# Client points at DPI 96 in the 1080 x 720 window: the tab column is 270
# wide; the cards are 300 x 200 from (310, 128) and (638, 128).
TAB_LIBRARY=(100 130)
BOX_CARD=(460 200)
MAGNET_CARD=(788 200)
# The chooser opens 520 x 400 at (310, 148), the magnet card at (540, 148);
# their first rows are 40 high, 64 below the top, 20 in from the sides.
CHOOSER_MAPPING_ROW=(570 230)
MAGNET_SWITCH=(800 230)
EMPTY_SPOT=(1000 650)
# Inside the open cards (beside the new boxes, which open in the middle of
# the screen), white page once they are closed.
CARD_INSIDE=(780 500)

# A click on the page closes an open card (it loses the focus); the pointer
# leaves the library cards, so no hover shows.
shot() {
  click_main "${EMPTY_SPOT[@]}"
  shot_main "$1"
}

# Waits (bounded) until the file holds a line matching the pattern.
wait_stored() {
  local file="$1" pattern="$2" i
  for i in $(seq 100); do
    [ -f "$file" ] && tr -d '\r' <"$file" | grep -Eq "$pattern" && return 0
    sleep 0.1
  done
  fail "$(basename "$file") never held $pattern: $(tr -d '\r' <"$file" 2>/dev/null)"
}

# Clicks the magnet switch until the store holds the state (bounded): a
# click that lands before the card has grown to its rows is lost.
toggle_until() {
  local want="$1" i j
  for i in 1 2 3 4 5; do
    click_main "${MAGNET_SWITCH[@]}"
    for j in $(seq 30); do
      tr -d '\r' <"$DATA/MagnetCom.kelm" 2>/dev/null | grep -Eq "^ +enabled : $want,?\$" && return 0
      sleep 0.1
    done
  done
  fail "MagnetCom.kelm never held enabled : $want"
}

start_tessik
pid=$LAST_PID
wait_main_window visible
click_tab "${TAB_LIBRARY[@]}"
shot_main library

click_main "${BOX_CARD[@]}"
wait_still "$MAIN_CLASS" "$MAIN_TITLE"
shot_main library_chooser
click_main "${CHOOSER_MAPPING_ROW[@]}"
wait_box_count 1
wait_stored "$DATA/DesktopContainer.kelm" '^ +z : 1,?$'
# The chooser stays open after a box was made: one more choice makes one
# more box.
click_main "${CHOOSER_MAPPING_ROW[@]}"
wait_box_count 2
wait_pixel chooser_closed "${CARD_INSIDE[@]}" "255,255,255"

click_main "${MAGNET_CARD[@]}"
shot_main library_magnet
toggle_until true
wait_pixel magnet_closed "${CARD_INSIDE[@]}" "255,255,255"
# Opened again, the switch shows the stored state; a second toggle stores off.
click_main "${MAGNET_CARD[@]}"
toggle_until false

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
