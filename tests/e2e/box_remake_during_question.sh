#!/usr/bin/env bash
# A box's "个性化" window open, three files dropped from another process
# onto the box whose folder holds their names: while the same-name
# question is open, 渲染样式 → 兼容层 is refused and told, and the box
# window stays. "直接覆盖" then replaces the three files in that box, each
# with its undo record: Ctrl+Z gives back the last one's old version and
# its source, and a clean quit leaves no old version in the temporary
# folder.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"

BOX_FOLDER="$WORK/boxes/f6666"
SOURCE="$WORK/source"
TEMP="$WORK/boxes/.data/.temp"
mkdir -p "$BOX_FOLDER" "$SOURCE"
for name in a b c; do
  printf 'old %s\n' "$name" >"$BOX_FOLDER/$name.txt"
  printf 'new %s\n' "$name" >"$SOURCE/$name.txt"
done

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box f6666 "Question box" "$BOX_FOLDER"
start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"

open_box_settings
box_handles() { probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '$3 == 1 {print $6}'; }
before=$(box_handles)

paths=()
for name in a b c; do paths+=("$(win_path "$SOURCE/$name.txt")"); done
drop_for_window "$POPUP_CLASS" "$POPUP_TITLE" $((bx + bw / 2)) $((by + bh / 2)) "${paths[@]}" ||
  fail "no same-name question: $(cat "$WORK/drop.txt")"
wait_still "$POPUP_CLASS" "$POPUP_TITLE"

# The render style row (its heading at 155, the row 20 below, 36 high);
# its menu lists "默认", "兼容层", ... 40 apart, 10 above the first.
xdotool mousemove $((sx + 150)) $((sy + 193)) click 1
probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null || fail "no render style menu under the question"
wait_still "$MENU_CLASS" "$MENU_TITLE"
menu_rect "Kelm.Menu.Class.0"
xdotool mousemove $((mx + 60)) $((my + 70)) click 1
probe wait "#32770" "Tessik" visible 20000 >/dev/null || fail "the refusal was not told"
notice=$(probe item-text "#32770" "Tessik" 65535)
case "$notice" in
  *正在进行*设置没有更改*) ;;
  *) fail "unexpected notice: $notice" ;;
esac
close_notice || fail "the notice did not close"
[ "$(box_handles)" = "$before" ] || fail "the box was made again under its question"
probe wait "$POPUP_CLASS" "$POPUP_TITLE" visible 1000 >/dev/null || fail "the question went with the refusal"

popup_ok 1 # 直接覆盖
for name in a b c; do
  wait_file '[ "$(cat "$BOX_FOLDER/$name.txt")" = "new $name" ] && [ ! -e "$SOURCE/$name.txt" ]' ||
    fail "$name.txt was not moved over the box's file: $(cat "$WORK/drop.txt")"
done
[ "$(ls "$TEMP" 2>/dev/null | wc -l)" = 3 ] || fail "the old versions were not kept for undo: $(ls -A "$TEMP" 2>&1)"
wait_exit "$DROP_PID"
[ "$(box_handles)" = "$before" ] || fail "the box was made again under its job"
[ -z "$(awk '/ComID_f6666\{/ {inside = 1} inside && /CompatibleLayer/ {print $3; exit}' "$DATA/DesktopContainer.kelm")" ] ||
  fail "the refused style was stored"

# Ctrl+Z in the box, held over the repaint its press causes: the last
# file takes its old version back and returns to its source.
probe gone "$POPUP_CLASS" "$POPUP_TITLE" 10000 || fail "the same-name question stayed"
for _ in 1 2 3; do
  xdotool mousemove $((bx + bw / 2)) $((by + bh - 60)) click 1
  wait_still "$BOX_PREFIX*" "Tessik.Com.Container"
  xdotool keydown ctrl keydown z
  sleep 0.4
  xdotool keyup z keyup ctrl
  wait_file '[ "$(cat "$BOX_FOLDER/c.txt" 2>/dev/null)" = "old c" ]' 2>/dev/null && break
done
[ "$(cat "$BOX_FOLDER/c.txt")" = "old c" ] || fail "Ctrl+Z did not give back the replaced c.txt"
[ "$(cat "$SOURCE/c.txt")" = "new c" ] || fail "Ctrl+Z did not put the dropped c.txt back"

# A clean quit: what undo can no longer reach goes to the Recycle Bin
# (the shell's questions answered yes), none stays in the temporary folder.
open_tray_menu
click_tray_menu_row $TRAY_ROW_QUIT
answer_messages_until_exit "$pid" 6
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
[ -z "$(ls -A "$TEMP" 2>/dev/null)" ] || fail "old versions were left in the temporary folder: $(ls -A "$TEMP")"
[ "$(cat "$BOX_FOLDER/a.txt")" = "new a" ] && [ "$(cat "$BOX_FOLDER/b.txt")" = "new b" ] || fail "the box lost a file"
echo "PASS"
