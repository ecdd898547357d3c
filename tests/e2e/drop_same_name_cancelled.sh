#!/usr/bin/env bash
# Another program drags a file onto a folder box whose folder already holds
# that name and deletes its file when it is told the file was moved. The
# same-name question is dismissed: the dragging program hears no move, and
# both files keep their bytes.
source "$(dirname "$0")/lib.sh"

BOX_FOLDER="$WORK/boxes/root/e5555"
SOURCE="$WORK/source"
mkdir -p "$BOX_FOLDER" "$SOURCE"
printf 'kept in the box\n' > "$BOX_FOLDER/same.txt"
printf 'the dragged file\n' > "$SOURCE/same.txt"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes/root")\"" "showTessikMain : false"
seed_folder_box e5555 "Same name" "$BOX_FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any

wait_box_rect

# The dragging program waits for the box's result when the system lets the
# box answer later; it runs beside the question.
POPUP_CLASS="Kelm.concept.PopupSel.Class"
POPUP_TITLE="Kelm.Test.concept.PopupSel"
drop_for_window "$POPUP_CLASS" "$POPUP_TITLE" --delete-on-move $((bx + bw / 2)) $((by + bh / 2)) \
  "$(win_path "$SOURCE/same.txt")" || fail "no same-name question: $(cat "$WORK/drop.txt")"
drop_pid=$DROP_PID
import -window root "$WORK/question.png" 2>/dev/null || true
# The question stays over another window's activation (it is modal and
# does not close on deactivation); it is dismissed as the system closes it.
probe post "$POPUP_CLASS" "$POPUP_TITLE" "$WM_CLOSE" 0 0 >/dev/null
probe gone "$POPUP_CLASS" "$POPUP_TITLE" 15000 || fail "the question did not close"

for _ in $(seq 600); do
  runs "$drop_pid" || break
  sleep 0.1
done
runs "$drop_pid" && fail "the dragging program still waits"
wait "$drop_pid" || fail "the drop did not happen: $(cat "$WORK/drop.txt")"
out=$(tr -d '\r' <"$WORK/drop.txt")
echo "$out"
printf '%s\n' "$out" | grep -q ' effect 2 ' && fail "the dragging program was told the file moved: $out"
printf '%s\n' "$out" | grep -q ' performed 2 ' && fail "a move was reported as performed: $out"

[ "$(cat "$SOURCE/same.txt" 2>/dev/null)" = "the dragged file" ] || fail "the dragged file was lost"
[ "$(cat "$BOX_FOLDER/same.txt")" = "kept in the box" ] || fail "the box's file changed"
[ "$(find "$BOX_FOLDER" -type f | wc -l)" = 1 ] || fail "something arrived in the box: $(ls "$BOX_FOLDER")"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
