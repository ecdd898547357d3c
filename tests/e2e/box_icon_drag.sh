#!/usr/bin/env bash
# Reordering by dragging: in a folder box holding a.txt, b.txt and c.txt,
# the first icon is pressed, dragged past the third and released; the box
# stores the new order b, c, a and every file stays where it was.
source "$(dirname "$0")/lib.sh"

FOLDER="$WORK/boxes/d3333"
mkdir -p "$FOLDER"
for name in a b c; do printf '%s' "$name" > "$FOLDER/$name.txt"; done
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box d3333 "Drag" "$FOLDER"

# The file names of the stored icons, in stored order.
stored_order() {
  grep -o 'path : "[^"]*"' "$DATA/DesktopContainer.kelm" | sed 's/.*\\\\\([^\\]*\)"$/\1/' | tr '\n' ' '
}
wait_order() {
  local i now=""
  for i in $(seq 100); do
    now=$(stored_order)
    [ "$now" = "$1" ] && return 0
    sleep 0.1
  done
  fail "stored order is '$now', expected '$1'"
}

start_tessik
pid=$LAST_PID
wait_main_window any
wait_still "Tessik.Kelm.Com.Container.Class.*" "Tessik.Com.Container"
wait_box_rect
wait_order "a.txt b.txt c.txt "

# Text files stand as wide cards in one row below the title band, about
# 120 px apart; the first is where a right click finds it in the icon menu
# test.
ax=$((bx + 60)) ay=$((by + 90))
xdotool mousemove "$ax" "$ay" mousedown 1
# Past the drag threshold, then right of the third icon's centre. Moves
# come one at a time as a hand makes them; the icons moving aside ignore
# the pointer while they glide.
for dx in 10 20 30 45 60 90 120 150 180 210 240 270 285 290 285 290; do
  xdotool mousemove $((ax + dx)) "$ay"
  sleep 0.1
done
import -window root "$WORK/drag_over.png" 2>/dev/null || true
xdotool mouseup 1
wait_order "b.txt c.txt a.txt "
for name in a b c; do
  [ "$(cat "$FOLDER/$name.txt")" = "$name" ] || fail "$name.txt changed: $(ls "$FOLDER")"
done
[ "$(ls "$FOLDER" | wc -l)" = 3 ] || fail "the folder holds $(ls "$FOLDER")"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
