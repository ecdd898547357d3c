#!/usr/bin/env bash
# A box's render style changed in its "个性化" window while large files are
# copied into it: the box is not made again under the copy (the user is
# told, nothing is stored), all the files arrive with their records, and
# the box takes drops again afterwards; the same change after the copy
# makes the box again, and the new box takes a drop.
source "$(dirname "$0")/lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"
WM_CLOSE=16

BOX_FOLDER="$WORK/boxes/f5555"
SOURCE="$WORK/source"
mkdir -p "$BOX_FOLDER" "$SOURCE"
names=()
# Large enough for the copy to outlast the click of the change.
for i in $(seq -w 1 10); do
  head -c $((100 * 1024 * 1024)) /dev/zero > "$SOURCE/large_$i.bin"
  names+=("large_$i.bin")
done
printf 'later\n' > "$SOURCE/later.txt"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box f5555 "Copy box" "$BOX_FOLDER"
start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"

open_box_settings

# The render style row (its heading at 155, the row 20 below, 36 high);
# its menu lists "默认", "兼容层", ... 40 apart, 10 above the first.
open_style_menu() {
  xdotool mousemove $((sx + 150)) $((sy + 193)) click 1
  probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null || fail "no render style menu"
  wait_still "$MENU_CLASS" "$MENU_TITLE"
  menu_rect "Kelm.Menu.Class.0"
}
choose_compatibility_layer() { xdotool mousemove $((mx + 60)) $((my + 70)) click 1; }
stored_style() {
  awk '/ComID_f5555\{/ {inside = 1} inside && /CompatibleLayer/ {print $3; exit}' "$DATA/DesktopContainer.kelm" |
    tr -d ',\r'
}
box_handles() { probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '$3 == 1 {print $6}'; }
before=$(box_handles)

paths=()
for name in "${names[@]}"; do paths+=("$(win_path "$SOURCE/$name")"); done
# The menu waits open while the files are dropped: the choice follows the
# drop at once. Copy only: the files stay at the source, and the copy
# takes its time.
# The source hears the outcome only when the copy has ended: it runs on
# while the change is made, once the copy has begun writing.
open_style_menu
wine "$DROP_EXE" --effects 1 $((bx + bw / 2)) $((by + bh / 2)) "${paths[@]}" >"$WORK/drop1.txt" 2>&1 &
DROP_PID=$!
TESSIK_PIDS+=("$DROP_PID")
for i in $(seq 200); do
  [ -n "$(ls -A "$BOX_FOLDER")" ] && break
  sleep 0.05
done
[ -n "$(ls -A "$BOX_FOLDER")" ] || fail "the copy did not begin: $(cat "$WORK/drop1.txt")"
choose_compatibility_layer
probe wait "#32770" "Tessik" visible 20000 >/dev/null || fail "the refusal was not told"
notice=$(probe item-text "#32770" "Tessik" 65535)
case "$notice" in
  *正在进行*设置没有更改*) ;;
  *) fail "unexpected notice: $notice" ;;
esac
import -window root "$WORK/remake_refused.png" 2>/dev/null || true
probe post "#32770" "Tessik" $WM_CLOSE 0 0 >/dev/null
[ "$(box_handles)" = "$before" ] || fail "the box was made again under its copy"

box_store() {
  awk '/ComID_f5555\{/ {inside = 1} inside {print; depth += gsub(/\{/, "{") - gsub(/\}/, "}"); if (depth == 0) exit}' \
    "$DATA/DesktopContainer.kelm"
}
records() { box_store | grep -cE '^[[:space:]]*path : ' || true; }
for i in $(seq 600); do
  [ "$(records)" = 10 ] && break
  sleep 0.1
done
[ "$(records)" = 10 ] || fail "$(records) of 10 records after the copy: $(ls "$BOX_FOLDER")"
[ "$(find "$BOX_FOLDER" -maxdepth 1 -type f -name 'large_*.bin' | wc -l)" = 10 ] || fail "not every file arrived"
[ -z "$(stored_style)" ] || fail "the refused style was stored: $(stored_style)"
wait_exit "$DROP_PID"
grep -q ' effect 1 ' "$WORK/drop1.txt" || fail "the source did not hear of the copy: $(cat "$WORK/drop1.txt")"
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"
import -window root "$WORK/after_copy.png" 2>/dev/null || true

# Now the change is made: a new box window, the style stored, and the
# records still there.
open_style_menu
choose_compatibility_layer
wait_file '[ "$(stored_style)" = 1 ]' || fail "the style was not stored after the copy"
for i in $(seq 100); do
  now=$(box_handles)
  [ -n "$now" ] && [ "$now" != "$before" ] && break
  sleep 0.1
done
[ -n "$now" ] && [ "$now" != "$before" ] || fail "the box was not made again after the copy"
[ "$(records)" = 10 ] || fail "$(records) records after the box was made again"

# The new box takes a drop (no job state was left behind).
xdotool mousemove 1500 50 click 1
probe gone "$BOX_SETTINGS_CLASS" "$BOX_SETTINGS_TITLE" 100 >/dev/null || true
wait_box_rect
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"
wine "$DROP_EXE" $((bx + bw / 2)) $((by + bh / 2)) "$(win_path "$SOURCE/later.txt")" >"$WORK/drop2.txt" 2>&1 ||
  fail "the second drop did not happen: $(cat "$WORK/drop2.txt")"
wait_file '[ -f "$BOX_FOLDER/later.txt" ]' || fail "a later drop was refused: $(cat "$WORK/drop2.txt")"
for i in $(seq 100); do
  [ "$(records)" = 11 ] && break
  sleep 0.1
done
[ "$(records)" = 11 ] || fail "no record of the later drop"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
