#!/usr/bin/env bash
# A normal box whose folder was moved away while Tessik runs, shown in the
# open quick panel: a real drop from another program and the content
# menu's "粘贴" are refused and told; no record points at the sources, the
# dragging program hears no effect, and the folder holds only what it held.
source "$(dirname "$0")/lib.sh"

PANEL_CLASS="Tessik.Kelm.QuickPanel.Class"
PANEL_TITLE="Tessik.QuickPanel"
WM_HOTKEY=786
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"
CLIP_EXE="$(dirname "$PROBE_EXE")/ClipboardProbe.exe"
clip() { wine_read "$CLIP_EXE" "$@"; }

FOLDER="$WORK/boxes/a1111"
mkdir -p "$FOLDER" "$WORK/files"
echo own > "$FOLDER/own.txt"
echo dropped > "$WORK/files/dropped.txt"
echo pasted > "$WORK/files/pasted.txt"
seed_app_store "showTessikMain : false" "containerDir : \"$(store_path "$WORK/boxes")\""
seed_folder_box a1111 "Alpha" "$FOLDER"
seed_panel_order a1111

box_object() { tr -d '\r' < "$DATA/DesktopContainer.kelm" | awk -v o="    ComID_$1{" '$0 == o {on=1} on {print} on && /^    }/ {exit}'; }
no_source_record() { ! box_object a1111 | grep -qE 'dropped\.txt|pasted\.txt'; }

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 1
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_HOTKEY 1001 0 >/dev/null || fail "cannot post the hotkey"
wait_still "$PANEL_CLASS" "$PANEL_TITLE"
IFS=, read -r px py _ _ <<<"$(probe list | awk -F'\t' -v c="$PANEL_CLASS" '$1 == c {print $5; exit}')"

mv "$FOLDER" "$WORK/away"

out=$(wine_read "$DROP_EXE" $((px + 500)) $((py + 400)) "$(win_path "$WORK/files/dropped.txt")") || fail "the drop did not happen: $out"
told=$(close_notices)
[ "$told" -ge 1 ] || fail "the refused drop was not told"
printf '%s\n' "$out" | grep -q ' effect 0 ' || fail "the source heard an effect for a refused drop: $out"

clip put-files "$(win_path "$WORK/files/pasted.txt")" || fail "cannot put the file on the clipboard"
xdotool mousemove $((px + 500)) $((py + 400)) click 3
wait_still "$MENU_CLASS" "$MENU_TITLE"
menu_rect "Kelm.Menu.Class.0"
xdotool mousemove $((mx + 60)) $((my + 30)) click 1
told=$(close_notices)
[ "$told" -ge 1 ] || fail "the refused paste was not told"

[ -f "$WORK/files/dropped.txt" ] && [ -f "$WORK/files/pasted.txt" ] || fail "a source left its place"
no_source_record || fail "a record points at a source: $(box_object a1111)"

mv "$WORK/away" "$FOLDER"
[ "$(ls "$FOLDER")" = "own.txt" ] || fail "the folder holds more: $(ls "$FOLDER")"

probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_HOTKEY 1001 0 >/dev/null
probe gone "$PANEL_CLASS" "$PANEL_TITLE" 10000 || fail "the panel did not close"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo PASS
