#!/usr/bin/env bash
# Real drops on the quick panel with a folder box selected: the box
# folder's parent (which holds the box's own folder) is refused with a
# notice and nothing moves; a file whose source offers only a copy (a
# mapping box's icon) is copied, stays where it was, and the source hears
# "copy". Every file keeps its path and bytes.
source "$(dirname "$0")/lib.sh"

PANEL_CLASS="Tessik.Kelm.QuickPanel.Class"
PANEL_TITLE="Tessik.QuickPanel"
WM_HOTKEY=786
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"

BOXES="$WORK/boxes"
FOLDER="$BOXES/a1111"
mkdir -p "$FOLDER/sub" "$WORK/files"
echo own > "$FOLDER/own.txt"
echo deeper > "$FOLDER/sub/deeper.txt"
echo mapped > "$WORK/files/mapped.txt"
seed_app_store "showTessikMain : false" "containerDir : \"$(store_path "$BOXES")\""
seed_folder_box a1111 "Alpha" "$FOLDER"
seed_panel_order a1111

# Every file and folder under $1 with its size and checksum.
listing() { (cd "$1" && find . -printf '%y %p\n' | sort && find . -type f -exec md5sum {} + | sort -k2); }

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 1
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_HOTKEY 1001 0 >/dev/null || fail "cannot post the hotkey"
wait_still "$PANEL_CLASS" "$PANEL_TITLE"
IFS=, read -r px py _ _ <<<"$(probe list | awk -F'\t' -v c="$PANEL_CLASS" '$1 == c {print $5; exit}')"
drop_x=$((px + 500))
drop_y=$((py + 400))

# The folder that holds the box's folder: refused, told, nothing moves.
before=$(listing "$BOXES")
files_before=$(listing "$WORK/files")
out=$(wine_read "$DROP_EXE" "$drop_x" "$drop_y" "$(win_path "$BOXES")") ||
  fail "the drop did not happen: $out"
told=$(close_notices)
[ "$told" -ge 1 ] || fail "the refusal was not told"
[ "$(listing "$BOXES")" = "$before" ] || fail "the box folder changed: $(find "$BOXES" | head -20)"
printf '%s\n' "$out" | grep -q ' effect 0 ' || fail "the source heard an effect for a refused drop: $out"

# A copy-only source: the file is copied, never moved.
out=$(wine_read "$DROP_EXE" --effects 1 "$drop_x" "$drop_y" "$(win_path "$WORK/files/mapped.txt")") || fail "the copy-only drop did not happen: $out"
wait_file '[ -f "$FOLDER/mapped.txt" ]' || fail "the file was not copied: $(ls "$FOLDER")"
[ "$(listing "$WORK/files")" = "$files_before" ] || fail "the source file was moved or changed"
cmp -s "$FOLDER/mapped.txt" "$WORK/files/mapped.txt" || fail "the copy differs from its source"
printf '%s\n' "$out" | grep -q ' effect 1 ' || fail "the source did not hear copy: $out"
printf '%s\n' "$out" | grep -q ' performed 2 ' && fail "a move was reported as performed: $out"
rm "$FOLDER/mapped.txt"
[ "$(listing "$BOXES")" = "$before" ] || fail "the box folder holds more than the copy"

probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_HOTKEY 1001 0 >/dev/null
probe gone "$PANEL_CLASS" "$PANEL_TITLE" 10000 || fail "the panel did not close"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo PASS
