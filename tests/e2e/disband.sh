#!/usr/bin/env bash
# "解散并归位" of a box whose file was dropped in from the folder of a box
# deleted since: the file goes to the Desktop, the deleted box's folder is
# not made again in the box root, and the notice names where the file went.
# A real drop gives the file its recorded origin; the real "..." menu and
# its question disband the box.
source "$(dirname "$0")/lib.sh"

ROOT="$WORK/boxes"
OLD="$ROOT/n1111"
FOLDER="$ROOT/s2222"
mkdir -p "$OLD" "$FOLDER"
printf 'd1\n' >"$OLD/d1.txt"
seed_app_store "containerDir : \"$(store_path "$ROOT")\"" "showTessikMain : false"
seed_folder_box s2222 "SmallDisk" "$FOLDER"

prefix_desktop
rm -f "$DESK/d1.txt"

# The file of the old box's folder dropped onto SmallDisk: its record keeps
# that folder as where it came from; that box then went with its folder.
drop_in_from_gone_box d1.txt

# "..." (65 DIPs from the title band's right edge), then "删除" (row 3:
# rows are 40 DIPs apart, 10 above the first).
xdotool mousemove $((bx + bw - 58)) $((by + 20)) click 1
probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null || fail "no more menu"
wait_still "$MENU_CLASS" "$MENU_TITLE"
menu_rect "Kelm.Menu.Class.0"
xdotool mousemove $((mx + 60)) $((my + 150)) click 1
POPUP_CLASS="Kelm.concept.PopupSel.Class"
POPUP_TITLE="Kelm.Test.concept.PopupSel"
probe wait "$POPUP_CLASS" "$POPUP_TITLE" visible 10000 >/dev/null || fail "the delete asked nothing"
wait_still "$POPUP_CLASS" "$POPUP_TITLE"
import -window root "$WORK/question.png" 2>/dev/null || true
# The first option, "解散并归位", is chosen; OK confirms it.
menu_rect "$POPUP_CLASS"
xdotool mousemove $((mx + mw - 60)) $((my + mh - 40)) click 1
probe gone "$POPUP_CLASS" "$POPUP_TITLE" 10000 >/dev/null || fail "the question stayed open"

wait_file '[ -f "$DESK/d1.txt" ]' || fail "d1.txt is not on the Desktop: $(find "$WORK" -name d1.txt)"
[ "$(cat "$DESK/d1.txt")" = d1 ] || fail "d1.txt changed on its way"
[ ! -e "$OLD" ] || fail "the deleted box's folder was made again: $(ls -R "$OLD")"
# The folder goes once the file job has reported every item back.
wait_file '[ ! -e "$FOLDER" ]' || fail "the emptied box folder stayed: $(ls -A "$FOLDER")"
[ "$(close_notices)" -ge 1 ] || fail "nobody was told where d1.txt went"
grep -h "d1.txt" "$DATA"/logs/* | grep -qiF "$DESK_WIN" ||
  fail "the notice does not name the Desktop: $(grep -h d1.txt "$DATA"/logs/*)"
wait_box_count 0

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
