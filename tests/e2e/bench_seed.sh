#!/usr/bin/env bash
# Tessik started on the data folder the idle benchmark seeds (the four
# stores, ten folder boxes of 100 files): no message box of the program
# appears, and every box appears on screen already drawn, never as a
# black rectangle while the start-up cannot draw yet.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../../bench/seed.sh"

seed_data_folder "$DATA" "$WORK/boxes" "$(seed_idle_boxes "$WORK/mapped" 10 100)" false "showTessikMain : true"

start_tessik
pid=$LAST_PID

# The first moment any box is on screen: each box then on screen shows its
# face (the theme's light background), not black. A box seen black is
# looked at again until it is drawn (bounded: 1.5 s): only the time between
# taking its area and its drawn frame reaching the screen may fall between
# the two, and on a loaded machine that is not one fixed time. A box shown
# before its first frame stands black far longer, until start-up can draw.
boxes_on_screen() { probe list | awk -F'\t' -v p="$BOX_PREFIX" 'index($1, p) == 1 && $3 == 1 {print $5}'; }
rects=""
for _ in $(seq 300); do
  rects=$(boxes_on_screen)
  [ -n "$rects" ] && break
  sleep 0.1
done
[ -n "$rects" ] || fail "no box came on screen"
# Mean brightness (0..1) of the screen's rectangle "x,y,w,h".
brightness() {
  local x y w h
  IFS=, read -r x y w h <<<"$1"
  import -window root -crop "${w}x${h}+${x}+${y}" -colorspace gray -format '%[fx:mean]' info: 2>/dev/null
}
black() { awk -v b="$(brightness "$1")" 'BEGIN {exit !(b < 0.2)}'; }
dark=""
while read -r rect; do
  [ -n "$rect" ] || continue
  black "$rect" && dark+=" $rect"
done <<<"$rects"
started=$(date +%s%N)
while [ -n "$dark" ] && [ $((($(date +%s%N) - started) / 1000000)) -lt 1500 ]; do
  sleep 0.1
  still=""
  for rect in $dark; do
    black "$rect" && still+=" $rect"
  done
  dark="$still"
done
[ -z "$dark" ] || fail "boxes on screen before their first frame, black:$dark"

wait_main_window visible
wait_box_count 10
# Notices are shown from a timer once the main window stands: watch a
# while (bounded) for one of the program's.
for _ in $(seq 30); do
  notices=$(program_notices probe)
  [ -z "$notices" ] || fail "the seeded start showed a message box: $notices"
  sleep 0.2
done

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
