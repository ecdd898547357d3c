#!/usr/bin/env bash
# Three stored boxes (mapping, normal, target) become box windows at their
# stored rectangles, with a screenshot of them for a look by eye; a box
# with an unreadable colour tag still opens and its tag is kept.
source "$(dirname "$0")/lib.sh"

BOX_ROOT="$WORK/boxes/root"
TARGET="$WORK/photos"
mkdir -p "$BOX_ROOT/b2222" "$TARGET"
echo hello > "$TARGET/note.txt"
mkdir -p "$TARGET/Holiday"
# Each kind of picture a box draws: image thumbnails, a text card, a folder
# preview and a program's shell icon.
convert -size 64x48 xc:'#E04040' "BMP3:$TARGET/red.bmp"
convert -size 48x64 gradient:'#60A0FF'-'#2040A0' "$TARGET/sky.png"
cp "$PROBE_EXE" "$TARGET/tool.exe"
echo report > "$WORK/report.txt"
seed_app_store "containerDir : \"$(store_path "$BOX_ROOT")\"" "showTessikMain : false"
cat > "$DATA/DesktopContainer.kelm" <<KELM
Components{
    ComID_a1111{
        id : "a1111",
        x : 40,
        y : 60,
        cx : 300,
        cy : 400,
        title : "映射盒子",
        clrtag : "not a colour",
        Icons{
            iconID_0{
                path : "$(store_path "$WORK/report.txt")"
            },
            iconID_2{
                path : "$(store_path "$WORK/photos")"
            }
        }
    },
    ComID_b2222{
        id : "b2222",
        x : 380,
        y : 60,
        cx : 320,
        cy : 380,
        title : "Normal box",
        clrtag : "#FFB0B0",
        UseTargetFolder : true,
        TargetFolder : "$(store_path "$BOX_ROOT/b2222")",
        TitleType : 1
    },
    ComID_c3333{
        id : "c3333",
        x : 740,
        y : 60,
        cx : 300,
        cy : 420,
        title : "Target",
        clrtag : "#B0D0FF",
        UseTargetFolder : true,
        IsCustomTarget : true,
        TargetFolder : "$(store_path "$TARGET")",
        CompatibleLayer : 2,
        bgAlpha : 0.6,
        IsEmbeddedLayer : true
    }
}
TessikRef{
    test : 0
}
KELM

start_tessik
pid=$LAST_PID
wait_main_window any

boxes=$(probe list | grep -F "$BOX_PREFIX" || true)
[ "$(printf '%s\n' "$boxes" | grep -c .)" = 3 ] || fail "expected three box windows, got: $boxes"
for rect in "40,60,300,400" "380,60,320,380" "740,60,300,420"; do
  line=$(printf '%s\n' "$boxes" | grep -F "$rect" || true)
  [ -n "$line" ] || fail "no box at $rect: $boxes"
  printf '%s' "$line" | awk -F'\t' '$2 == "Tessik.Com.Container" && $3 == 1 {ok=1} END {exit !ok}' \
    || fail "box at $rect not visible or wrongly titled: $line"
done
grep -q 'clrtag : "not a colour"' "$DATA/DesktopContainer.kelm" || fail "the unreadable colour tag was not kept"

# Let the first paints land, then keep a picture for a look by eye.
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
import -window root "$WORK/boxes.png" 2>/dev/null || true

# The target box follows its folder: every entry has a stored record.
for name in red.bmp sky.png note.txt Holiday tool.exe; do
  grep -q "photos\\\\\\\\$name\"" "$DATA/DesktopContainer.kelm" || fail "no stored record for $name"
done

# Closing a box asks first ("隐藏"); cancel keeps it, OK only hides it.
TIP_CLASS="Kelm.concept.Tip2.Class"
TIP_TITLE="Kelm.Test.concept.Tip2"
visible_boxes() { probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '$3 == 1' | grep -c . || true; }
# Clicks the tip's OK ("ok") or cancel button with the real mouse; the
# buttons sit 60 and 155 from the tip's right edge, 40 above its bottom.
click_tip() {
  local rect left top width height from_right
  rect=$(probe list | grep -F "$TIP_CLASS" | awk -F'\t' '{print $5}' | head -1)
  [ -n "$rect" ] || fail "no tip to click"
  IFS=, read -r left top width height <<<"$rect"
  from_right=155; [ "$1" = ok ] && from_right=60
  xdotool mousemove $((left + width - from_right)) $((top + height - 40)) click 1
  probe gone "$TIP_CLASS" "$TIP_TITLE" 10000 >/dev/null || fail "the tip stayed open"
}
probe post-one "${BOX_PREFIX}*" "Tessik.Com.Container" $WM_CLOSE 0 0 >/dev/null || fail "no box to close"
wait_still "$TIP_CLASS" "$TIP_TITLE"
click_tip cancel
[ "$(visible_boxes)" = 3 ] || fail "cancel hid a box"
probe post-one "${BOX_PREFIX}*" "Tessik.Com.Container" $WM_CLOSE 0 0 >/dev/null || fail "no box to close"
wait_still "$TIP_CLASS" "$TIP_TITLE"
click_tip ok
for _ in $(seq 50); do [ "$(visible_boxes)" = 2 ] && break; sleep 0.1; done
[ "$(visible_boxes)" = 2 ] || fail "OK did not hide the box"
[ "$(probe list | grep -cF "$BOX_PREFIX")" = 3 ] || fail "a closed box was destroyed"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
grep -q 'ComID_a1111' "$DATA/DesktopContainer.kelm" || fail "stored boxes lost"
echo "PASS"
