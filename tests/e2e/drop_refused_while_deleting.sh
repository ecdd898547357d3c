#!/usr/bin/env bash
# A file dropped onto a folder box while the box's own delete waits for the
# shell's question is refused (the drag shows no drop) and the user hears
# why; the file stays where it was and never arrives in the box.
source "$(dirname "$0")/lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"
POPUP_CLASS="Kelm.concept.PopupSel.Class"
POPUP_TITLE="Kelm.Test.concept.PopupSel"

BOX_FOLDER="$WORK/boxes/f6666"
SOURCE="$WORK/source"
mkdir -p "$BOX_FOLDER" "$SOURCE"
printf 'old\n' >"$BOX_FOLDER/old.txt"
printf 'later\n' >"$SOURCE/later.txt"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box f6666 "Delete box" "$BOX_FOLDER"
start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"

# Ctrl+click selects the icon, Del asks how, OK takes "移动到回收站": the
# worker then waits for the shell's question.
ask_to_delete_first_icon
xdotool mousemove $((px + pw - 60)) $((py + ph - 40)) click 1
shell_question() { probe list | awk -F'\t' '$1 == "#32770" && $2 ~ /^Confirm/ && $3 == 1 {print $2; exit}'; }
wait_file '[ -n "$(shell_question)" ]' || fail "the shell did not ask"

wine "$DROP_EXE" $((bx + 100)) $((by + bh - 80)) "$(win_path "$SOURCE/later.txt")" >"$WORK/drop.txt" 2>&1 || true
probe wait "#32770" "Tessik" visible 20000 >/dev/null || fail "the refusal was not told: $(cat "$WORK/drop.txt")"
notice=$(probe item-text "#32770" "Tessik" 65535)
case "$notice" in
*这个收纳盒的文件操作*仍在原来的位置*) ;;
*) fail "the notice says: $notice" ;;
esac
close_notices >/dev/null

title=$(shell_question)
probe post "#32770" "$title" 273 6 0 >/dev/null # IDYES
wait_file '[ ! -e "$BOX_FOLDER/old.txt" ]' || fail "the delete did not end"
quit_from_tray
wait_exit "$pid"
[ "$(cat "$SOURCE/later.txt")" = "later" ] || fail "the refused file left its place"
[ ! -e "$BOX_FOLDER/later.txt" ] || fail "the refused file arrived in the box"
echo "PASS"
