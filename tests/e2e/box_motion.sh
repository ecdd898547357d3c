#!/usr/bin/env bash
# A box dragged by its title band with the real mouse moves the box of its
# colour group along and its position is on disk when the drag ends; a
# hover-minimized box opens folded, unfolds under a resting pointer and
# folds again after the pointer left.
source "$(dirname "$0")/lib.sh"

mkdir -p "$WORK/boxes"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
cat > "$DATA/DesktopContainer.kelm" <<KELM
Components{
    ComID_a1111{
        id : "a1111",
        x : 100,
        y : 100,
        cx : 300,
        cy : 300,
        title : "Dragged",
        clrtag : "#FFB0B0"
    },
    ComID_b2222{
        id : "b2222",
        x : 100,
        y : 420,
        cx : 300,
        cy : 200,
        title : "Follower",
        clrtag : "#FFB0B0"
    },
    ComID_c3333{
        id : "c3333",
        x : 700,
        y : 100,
        cx : 300,
        cy : 400,
        title : "Hover",
        IsHoverMinimized : true
    }
}
TessikRef{
    test : 0
}
KELM

start_tessik
pid=$LAST_PID
wait_main_window any

wait_box_at "100,100,300,300"
wait_box_at "100,420,300,200"
wait_box_at "700,100,300,40"
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"

# Drag the first box by its title band 60 right and 40 down.
xdotool mousemove 250 120 mousedown 1
for step in 1 2 3 4 5 6; do
  xdotool mousemove $((250 + step * 10)) $((120 + step * 40 / 6))
  sleep 0.05
done
xdotool mouseup 1
wait_box_at "160,140,300,300"
wait_box_at "160,460,300,200"
for _ in $(seq 50); do
  grep -A3 'ComID_a1111' "$DATA/DesktopContainer.kelm" | grep -q 'x : 160' && break
  sleep 0.1
done
grep -A4 'ComID_a1111' "$DATA/DesktopContainer.kelm" | grep -q 'x : 160' \
  || fail "the moved position was not saved: $(cat "$DATA/DesktopContainer.kelm")"

# Rest the pointer on the folded box: it unfolds; leave: it folds again.
xdotool mousemove 850 115
wait_box_at "700,100,300,400"
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"
import -window root "$WORK/unfolded.png" 2>/dev/null || true
xdotool mousemove 1400 900
wait_box_at "700,100,300,40"
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"
import -window root "$WORK/folded.png" 2>/dev/null || true

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
