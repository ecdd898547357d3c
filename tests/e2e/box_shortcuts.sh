#!/usr/bin/env bash
# Real key presses in the foreground box: Ctrl+A then Ctrl+C put the box's
# file on the clipboard, Ctrl+X marks it for a move ("Preferred DropEffect"
# 2), Ctrl+V of clipboard text writes "剪贴板文本.txt" (UTF-8 with BOM) into
# the box folder, and L opens the colour palette of the group tag. Under
# Wine a key counts only while a paint sees it held: each key is pressed,
# held over the repaint its press causes, then released.
source "$(dirname "$0")/lib.sh"
CLIP_EXE="$(dirname "$PROBE_EXE")/ClipboardProbe.exe"
clip() {
  if [ "$1" = files ]; then wine_read "$CLIP_EXE" "$@"; else wine "$CLIP_EXE" "$@" 2>/dev/null | tr -d '\r'; fi
}

BOX_FOLDER="$WORK/boxes/root/e5555"
mkdir -p "$BOX_FOLDER"
printf 'hello\n' > "$BOX_FOLDER/a.txt"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes/root")\"" "showTessikMain : false"
seed_folder_box e5555 "Key box" "$BOX_FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect

# Gives the box the keyboard: a click on its empty lower part.
focus_box() {
  xdotool mousemove $((bx + bw / 2)) $((by + bh - 60)) click 1
  wait_still "$BOX_PREFIX*" "Tessik.Com.Container"
}
# Holds the keys over the repaint their press causes, then lets go.
press() {
  local key
  for key in "$@"; do xdotool keydown "$key"; done
  sleep 0.4
  for key in $(printf '%s\n' "$@" | tac); do xdotool keyup "$key"; done
  sleep 0.2
}

expected="file	$(win_path "$BOX_FOLDER/a.txt")"
files=""
for _ in $(seq 20); do
  focus_box
  press ctrl a
  press ctrl c
  files=$(clip files)
  printf '%s\n' "$files" | grep -qixF "$expected" && break
  sleep 0.5
done
printf '%s\n' "$files" | grep -qixF "$expected" || fail "Ctrl+A, Ctrl+C put no file list on the clipboard: $files"
printf '%s\n' "$files" | grep -qx 'effect	0' || fail "a copy was marked as a cut: $files"

press ctrl x
files=$(clip files)
printf '%s\n' "$files" | grep -qixF "$expected" || fail "Ctrl+X put no file list on the clipboard: $files"
printf '%s\n' "$files" | grep -qx 'effect	2' || fail "Ctrl+X did not mark a move: $files"
press Escape

clip text "pasted by key" || fail "could not put text on the clipboard"
focus_box
press ctrl v
pasted="$BOX_FOLDER/剪贴板文本.txt"
for _ in $(seq 50); do
  [ -s "$pasted" ] && break
  sleep 0.1
done
[ -f "$pasted" ] || fail "Ctrl+V wrote no text file: $(ls "$BOX_FOLDER")"
[ "$(head -c 3 "$pasted" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "the text file has no UTF-8 byte order mark"
[ "$(tail -c +4 "$pasted")" = "pasted by key" ] || fail "the text file holds: $(cat "$pasted")"
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"
import -window root "$WORK/after_paste.png" 2>/dev/null || true

focus_box
press l
probe wait "Kelm.concept.ColorPattle.Class" "Kelm.Test.concept.Color" visible 5000 >/dev/null || fail "L opened no colour palette: $(probe list)"
wait_still "Kelm.concept.ColorPattle.Class" "Kelm.Test.concept.Color"
import -window root "$WORK/palette.png" 2>/dev/null || true
# A click elsewhere dismisses it without a choice.
xdotool mousemove 5 5 click 1
probe gone "Kelm.concept.ColorPattle.Class" "Kelm.Test.concept.Color" 5000 >/dev/null || fail "the palette did not close"
grep -q 'clrtag : "#B0E0B0"' "$DATA/DesktopContainer.kelm" || fail "a dismissed palette changed the colour"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
errors=$(cat "$DATA"/logs/*.txt | grep -F '][ERROR]' || true)
[ -z "$errors" ] || fail "errors in the log: $errors"
echo "PASS"
