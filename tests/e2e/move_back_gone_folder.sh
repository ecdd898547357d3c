#!/usr/bin/env bash
# "归位" of a file dropped in from the folder of a box deleted since: the
# deleted box's folder is not made again in the box root. The Desktop is
# offered; "取消" keeps the file and its icon in the box (and says so),
# "确定" puts it on the Desktop. A real drop gives the file its recorded
# origin; the real icon menu, its input box and question do the rest.
source "$(dirname "$0")/lib.sh"

ROOT="$WORK/boxes"
OLD="$ROOT/n1111"
FOLDER="$ROOT/s2222"
mkdir -p "$OLD" "$FOLDER"
printf 'r1\n' >"$OLD/r1.txt"
seed_app_store "containerDir : \"$(store_path "$ROOT")\"" "showTessikMain : false"
seed_folder_box s2222 "SmallDisk" "$FOLDER"

prefix_desktop
rm -f "$DESK/r1.txt"

drop_in_from_gone_box r1.txt

TIP_CLASS="Kelm.concept.Tip2.Class"
TIP_TITLE="Kelm.Test.concept.Tip2"
# The icon's menu (the first icon, top left of the content), its "归位" row
# (rows 40 DIPs apart, 10 above the first: 复制纯文本, 别名, 文件|剪切,
# 打开方式, 打印, 重命名, 归位), the input box's "确定" with the recorded
# origin, then the question's button at x_from_right.
move_back() {
  wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
  xdotool mousemove $((bx + 60)) $((by + 90)) click 3
  probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null || fail "no icon menu"
  wait_still "$MENU_CLASS" "$MENU_TITLE"
  menu_rect "Kelm.Menu.Class.0"
  xdotool mousemove $((mx + 60)) $((my + 30 + 6 * 40)) click 1
  probe wait "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit" visible 10000 >/dev/null || fail "no input box"
  wait_still "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit"
  menu_rect "Kelm.concept.Edit.Class"
  xdotool mousemove $((mx + mw - 60)) $((my + mh - 40)) click 1
  probe gone "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit" 10000 >/dev/null || fail "the input box stayed"
  probe wait "$TIP_CLASS" "$TIP_TITLE" visible 10000 >/dev/null || fail "the Desktop was not offered"
  wait_still "$TIP_CLASS" "$TIP_TITLE"
  import -window root "$WORK/offer.png" 2>/dev/null || true
  menu_rect "$TIP_CLASS"
  xdotool mousemove $((mx + mw - $1)) $((my + mh - 40)) click 1
  probe gone "$TIP_CLASS" "$TIP_TITLE" 10000 >/dev/null || fail "the question stayed open"
}

# "取消": nothing moves, nothing is made, and the user hears why.
move_back 155
[ "$(close_notices)" -ge 1 ] || fail "nobody was told that r1.txt stayed"
[ ! -e "$OLD" ] || fail "the deleted box's folder was made again: $(ls -R "$OLD")"
[ -f "$FOLDER/r1.txt" ] || fail "r1.txt left the box: $(find "$WORK" -name r1.txt)"
[ ! -e "$DESK/r1.txt" ] || fail "r1.txt went to the Desktop on 取消"
grep -h "r1.txt" "$DATA"/logs/* | grep -qF "n1111" || fail "the notice does not name the folder"

# "确定": the file goes to the Desktop, its icon leaves.
move_back 60
wait_file '[ -f "$DESK/r1.txt" ]' || fail "r1.txt is not on the Desktop: $(find "$WORK" -name r1.txt)"
[ "$(cat "$DESK/r1.txt")" = r1 ] || fail "r1.txt changed on its way"
[ ! -e "$FOLDER/r1.txt" ] || fail "a second copy stayed in the box"
[ ! -e "$OLD" ] || fail "the deleted box's folder was made again: $(ls -R "$OLD")"
close_notices >/dev/null
wait_file '! grep -qF "r1.txt" "$DATA/DesktopContainer.kelm"' || fail "the icon's record stayed"
rm -f "$DESK/r1.txt"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
