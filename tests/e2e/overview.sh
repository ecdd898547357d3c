#!/usr/bin/env bash
# The overview of all boxes, opened from the settings page's "收纳盒一览":
# dragging a box's frame and "应用" move the real box and store its new
# "x", "y", "cx" and "cy". A screenshot of the overview for a look by eye.
source "$(dirname "$0")/lib.sh"

FOLDER="$WORK/boxes/a3333"
mkdir -p "$FOLDER"
seed_app_store "showTessikMain : true" "containerDir : \"$(store_path "$WORK/boxes")\""
seed_folder_box a3333 "Overview" "$FOLDER"

OVERVIEW_CLASS="Kelm.Class.Tessik.Overview"
OVERVIEW_TITLE="收纳盒一览"
# Client points at DPI 96: the settings tab, and "收纳盒一览" (the third
# button of the general section, TW + 300 with a tab column 270 wide).
TAB_SETTINGS=(100 170)
OVERVIEW_BUTTON=(630 454)

start_tessik
pid=$LAST_PID
wait_main_window visible
wait_box_rect
click_tab "${TAB_SETTINGS[@]}"
click_main "${OVERVIEW_BUTTON[@]}"
wait_still "$OVERVIEW_CLASS" "$OVERVIEW_TITLE"
rect=$(probe list | awk -F'\t' -v c="$OVERVIEW_CLASS" '$1 == c {print $5; exit}')
IFS=, read -r ox oy ow oh <<<"$rect"
[ "$ow" = 800 ] && [ "$oh" = 600 ] || fail "the overview is ${ow}x${oh}, not 800x600"
import -window root "$WORK/overview.png" 2>/dev/null || true

# The picture of one screen cell fills the window less a margin: scale
# min((600 - 130) / sh, (800 - 100) / sw), centred 50 in from the left and
# the top. The box's frame is its rectangle under that scale.
read -r sw sh <<<"$(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1], d[2]}')"
frame=$(awk -v sw="$sw" -v sh="$sh" -v x="$bx" -v y="$by" -v w="$bw" -v h="$bh" 'BEGIN {
  s = (470 / sh < 700 / sw) ? 470 / sh : 700 / sw
  offx = (700 - sw * s) / 2 + 50; offy = (470 - sh * s) / 2 + 50
  printf "%d %d %f", x * s + offx + w * s / 2, y * s + offy + h * s / 2, s }')
read -r fx fy scale <<<"$frame"

# Drag the frame by its middle 100 right and 50 down, in small steps.
xdotool mousemove $((ox + fx)) $((oy + fy)) mousedown 1
for step in 1 2 3 4 5; do
  xdotool mousemove $((ox + fx + step * 20)) $((oy + fy + step * 10))
  sleep 0.05
done
xdotool mouseup 1
wait_still "$OVERVIEW_CLASS" "$OVERVIEW_TITLE"
import -window root "$WORK/overview_moved.png" 2>/dev/null || true

# "应用" sits 10 right of the middle, 60 above the bottom, 100 by 35.
probe click "$OVERVIEW_CLASS" "$OVERVIEW_TITLE" 460 557 >/dev/null || fail "no click on 应用"
want_x=$(awk -v x="$bx" -v s="$scale" 'BEGIN {printf "%d", x + 100 / s}')
for _ in $(seq 100); do
  now=$(probe list | grep -F "Tessik.Kelm.Com.Container.Class." | awk -F'\t' '{print $5}' | head -n1)
  IFS=, read -r nx ny nw nh <<<"$now"
  [ $((nx - want_x)) -le 3 ] && [ $((want_x - nx)) -le 3 ] && break
  sleep 0.1
done
[ $((nx - want_x)) -le 3 ] && [ $((want_x - nx)) -le 3 ] || fail "the box is at $now, not near x $want_x"
# The frame works in whole picture pixels: the size comes back within a
# few screen pixels.
[ $((bw - nw)) -le 3 ] && [ $((nw - bw)) -le 3 ] && [ $((bh - nh)) -le 3 ] && [ $((nh - bh)) -le 3 ] ||
  fail "the box changed its size: $now"
[ "$ny" -gt "$by" ] || fail "the box did not move down: $now"
object=$(tr -d '\r' <"$DATA/DesktopContainer.kelm" | sed -n '/ComID_a3333/,/}/p')
for key in x y cx cy; do
  printf '%s\n' "$object" | grep -Eq "^ *$key : [0-9]+,?$" || fail "no stored $key: $object"
done
printf '%s\n' "$object" | grep -Eq "^ *x : $nx,?$" || fail "stored x is not $nx: $object"
printf '%s\n' "$object" | grep -Eq "^ *y : $ny,?$" || fail "stored y is not $ny: $object"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
