#!/usr/bin/env bash
# The icon menu of a folder box: a right click on an icon opens it (a
# screenshot for a look by eye); "重命名" asks for the name, and cancelling
# leaves both files as they were.
source "$(dirname "$0")/lib.sh"

FOLDER="$WORK/boxes/a2222"
mkdir -p "$FOLDER"
printf 'first' > "$FOLDER/a.txt"
printf 'second' > "$FOLDER/b.txt"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box a2222 "Icons" "$FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
# The icons are placed once the box has synced its folder into the store.
for _ in $(seq 100); do
  grep -q 'b.txt' "$DATA/DesktopContainer.kelm" 2>/dev/null && break
  sleep 0.1
done
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"

# The first icon sits at the top left of the content, below the title band.
xdotool mousemove $((bx + 60)) $((by + 90)) click 3
wait_still "$MENU_CLASS" "$MENU_TITLE"
import -window root "$WORK/icon_menu.png" 2>/dev/null || true
menu_rect "Kelm.Menu.Class.0"
# Rows 40 DIPs apart, 10 above the first: 复制纯文本, 别名, 文件|剪切, 打开方式,
# 打印, 重命名.
xdotool mousemove $((mx + 60)) $((my + 30 + 5 * 40)) click 1
wait_still "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit"
menu_rect "Kelm.concept.Edit.Class"
# "取消" sits left of "确定": the box closes and nothing is renamed.
xdotool mousemove $((mx + mw - 154)) $((my + mh - 40)) click 1
probe gone "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit" 10000 >/dev/null || fail "the input box stayed"
[ "$(cat "$FOLDER/a.txt")" = first ] || fail "a.txt changed: $(ls "$FOLDER")"
[ "$(cat "$FOLDER/b.txt")" = second ] || fail "b.txt was replaced"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
