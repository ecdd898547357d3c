#!/usr/bin/env bash
# A title typed through "标题" with backslashes and quotes: after two
# restarts every box is on the screen and the title shows as it was typed;
# the second restart changes no byte of the store and leaves no ".bak".
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_box_store "$(stored_box a1111 40 First)" "$(stored_box b2222 400 Second)" "$(stored_box c3333 760 Third)"
# Box windows take a class of their own each start: the first box is the
# one stored at x 40.
first_box() {
  BOX=$(probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '$5 ~ /^40,/ {print $1; exit}')
  [ -n "$BOX" ] || fail "the first box is not on the screen: $(probe list | grep -F "$BOX_PREFIX")"
}

# The title band of the first box, as on the screen now, into $1.png.
shot_title() {
  first_box
  xdotool mousemove 1500 900
  wait_still "$BOX" "Tessik.Com.Container"
  menu_rect "$BOX"
  import -window root "$WORK/screen_$1.png" 2>/dev/null || fail "no screenshot"
  convert "$WORK/screen_$1.png" -crop "${mw}x40+${mx}+${my}" +repage "$WORK/$1.png"
}

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 3
first_box
wait_still "$BOX" "Tessik.Com.Container"
menu_rect "$BOX"
bx=$mx by=$my

xdotool mousemove $((bx + 40)) $((by + 20)) click 1
wait_still "Kelm.concept.ColorMenuPattle.Class" "Kelm.Test.concept.ColorMenu"
xdotool mousemove $((bx + 44)) $((by + 235)) click 1 # 标题
wait_still "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit"
menu_rect "Kelm.concept.Edit.Class"
xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace
xdotool type '\\NAS "my photos"'
# The click on 确定 queues behind the typed keys: the stored title below
# shows they all arrived first.
xdotool mousemove $((mx + mw - 60)) $((my + mh - 40)) click 1
wait_file 'grep -qF "title : ~\"\\\\\\\\NAS \"\"my photos\"\"\"" "$DATA/DesktopContainer.kelm"' ||
  fail "the typed title was not stored: $(grep title "$DATA/DesktopContainer.kelm")"
probe gone "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit" 10000 >/dev/null || fail "the input box stayed"
shot_title typed

for start in 1 2; do
  quit_from_tray
  wait_exit "$pid"
  [ "$RC" = 0 ] || fail "quit exit code $RC"
  [ "$start" = 2 ] && { sum=$(md5sum < "$DATA/DesktopContainer.kelm"); baks=$(ls "$DATA" | grep -c '\.bak$' || true); }
  start_tessik
  pid=$LAST_PID
  wait_main_window any
  wait_box_count 3
  shot_title "restart_$start"
  diff=$(compare -metric AE -fuzz 10% "$WORK/typed.png" "$WORK/restart_$start.png" null: 2>&1 || true)
  [ "${diff%% *}" -lt 40 ] 2>/dev/null || fail "start $start shows another title ($diff pixels differ)"
done
[ "$(md5sum < "$DATA/DesktopContainer.kelm")" = "$sum" ] || fail "the second restart changed the store"
[ "$(ls "$DATA" | grep -c '\.bak$' || true)" = "$baks" ] || fail "the second restart left a .bak: $(ls "$DATA")"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
