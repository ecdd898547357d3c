#!/usr/bin/env bash
# Dragging icons with the mouse. In a folder box holding a.txt, b.txt and
# c.txt, the first icon is dragged past the third and released: the box
# stores the order b, c, a and no file moves. Then a.txt is dragged out of
# that box onto a second folder box: the file moves into the second box's
# folder and both boxes store the change.
source "$(dirname "$0")/lib.sh"

FROM="$WORK/boxes/d3333"
TO="$WORK/boxes/e4444"
mkdir -p "$FROM" "$TO"
for name in a b c; do printf '%s' "$name" > "$FROM/$name.txt"; done
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
folder_box() {
  printf '    ComID_%s{\n        id : "%s",\n        x : %s,\n        y : 100,\n        cx : 420,\n        cy : 520,\n        title : "%s",\n        clrtag : "%s",\n        UseTargetFolder : true,\n        TargetFolder : "%s"\n    }' \
    "$1" "$1" "$2" "$3" "$4" "$(store_path "$5")"
}
printf 'Components{\n%s\n}\n%s\n' "$(join_members "$(folder_box d3333 200 Drag '#B0E0B0' "$FROM")" \
  "$(folder_box e4444 700 Target '#E0B0B0' "$TO")")" "$OWN_ROOT" > "$DATA/DesktopContainer.kelm"

# The file names of a box's stored icons, in stored order.
stored_order() {
  awk -v box="ComID_$1{" '/ComID_/ {inside = index($0, box) > 0} inside && /path :/' "$DATA/DesktopContainer.kelm" |
    sed -E 's/.*\\([^\\"]*)".*/\1/' | tr '\n' ' '
}
wait_order() {
  local i now=""
  for i in $(seq 100); do
    now=$(stored_order "$1")
    [ "$now" = "$2" ] && return 0
    sleep 0.1
  done
  fail "box $1 stores '$now', expected '$2'"
}
# Moves the pointer in steps as a hand does: the icons moving aside and the
# system drag take the pointer one move at a time.
glide() {
  local x="$1" y="$2" step
  shift 2
  for step in "$@"; do
    xdotool mousemove $((x + step)) "$y"
    sleep 0.1
  done
}

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 2
wait_still "Tessik.Kelm.Com.Container.Class.*" "Tessik.Com.Container"
wait_order d3333 "a.txt b.txt c.txt "
bx=$(probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '{print $5}' | sort -t, -n -k1 | head -n1 | cut -d, -f1)
by=$(probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '{print $5}' | sort -t, -n -k1 | head -n1 | cut -d, -f2)

# Text files stand as wide cards in one row below the title band, about
# 120 px apart; the first is where a right click finds it in the icon menu
# test. Past the drag threshold, then right of the third card's centre.
ax=$((bx + 60)) ay=$((by + 90))
xdotool mousemove "$ax" "$ay" mousedown 1
glide "$ax" "$ay" 10 20 30 45 60 90 120 150 180 210 240 270 285 290 285 290
import -window root "$WORK/drag_over.png" 2>/dev/null || true
xdotool mouseup 1
wait_order d3333 "b.txt c.txt a.txt "
for name in a b c; do
  [ "$(cat "$FROM/$name.txt")" = "$name" ] || fail "$name.txt changed: $(ls "$FROM")"
done

# a.txt is now the third card; out of the box and into the other one.
wait_still "Tessik.Kelm.Com.Container.Class.*" "Tessik.Com.Container"
sx=$((bx + 300)) sy=$((by + 90))
xdotool mousemove "$sx" "$sy" mousedown 1
glide "$sx" "$sy" 10 20 30 45 60 100 140 180 220 260 300 340 380 420 460 500 520 540 550 560 560
xdotool mouseup 1
for i in $(seq 100); do [ -f "$TO/a.txt" ] && break; sleep 0.1; done
[ -f "$TO/a.txt" ] || fail "a.txt did not reach the other box: $(ls "$FROM") | $(ls "$TO")"
[ "$(cat "$TO/a.txt")" = a ] || fail "a.txt arrived changed"
[ ! -e "$FROM/a.txt" ] || fail "a.txt was copied, not moved"
wait_order e4444 "a.txt "
wait_order d3333 "b.txt c.txt "

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
