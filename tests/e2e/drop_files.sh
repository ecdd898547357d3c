#!/usr/bin/env bash
# Files dropped from another program onto a folder box are moved into the
# box's folder whole, each gets an icon record in the box, and the program
# still quits cleanly; screenshots of the box during and after the drop for
# a look by eye.
source "$(dirname "$0")/lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"

BOX_FOLDER="$WORK/boxes/root/d4444"
SOURCE="$WORK/source"
mkdir -p "$BOX_FOLDER" "$SOURCE"
names=()
for i in $(seq -w 1 40); do
  printf 'small file %s\n' "$i" > "$SOURCE/note_$i.txt"
  names+=("note_$i.txt")
done
# Big enough for a copy to take a while; a move on one volume stays a
# rename, so the progress card may come and go between two pictures.
head -c $((6 * 1024 * 1024)) /dev/urandom > "$SOURCE/big.bin"
names+=("big.bin")
declare -A sizes
for name in "${names[@]}"; do
  sizes[$name]=$(stat -c %s "$SOURCE/$name")
done

seed_app_store "containerDir : \"$(store_path "$WORK/boxes/root")\"" "showTessikMain : false"
seed_folder_box d4444 "Drop box" "$BOX_FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any

wait_box_rect
# The middle of the box: inside its client area, below the title.
drop_x=$((bx + bw / 2))
drop_y=$((by + bh / 2))
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"

paths=()
for name in "${names[@]}"; do
  paths+=("$(win_path "$SOURCE/$name")")
done
out=$(wine_read "$DROP_EXE" "$drop_x" "$drop_y" "${paths[@]}") || fail "the drop did not happen: $out"
# A few quick pictures while the job runs: the progress card shows only
# for a moment.
for k in 1 2 3 4 5 6; do
  import -window root "$WORK/drop_during_$k.png" 2>/dev/null || true
done
# The box moves the files itself: the source hears no move it would have to
# finish by deleting.
printf '%s\n' "$out" | grep -q ' effect 0 ' || fail "the box answered an effect for the source to act on: $out"
printf '%s\n' "$out" | grep -q ' performed 2 ' && fail "the box reported a move as performed: $out"

arrived=0
for _ in $(seq 200); do
  arrived=$(find "$BOX_FOLDER" -maxdepth 1 -type f ! -name '*.part*' | wc -l)
  [ "$arrived" = "${#names[@]}" ] && [ -z "$(ls -A "$SOURCE")" ] && break
  sleep 0.1
done
[ "$arrived" = "${#names[@]}" ] || fail "$arrived of ${#names[@]} files arrived: $(ls "$BOX_FOLDER")"

for name in "${names[@]}"; do
  [ ! -e "$SOURCE/$name" ] || fail "$name was copied, not moved"
  [ -f "$BOX_FOLDER/$name" ] || fail "$name missing in the box folder"
  [ "$(stat -c %s "$BOX_FOLDER/$name")" = "${sizes[$name]}" ] || fail "$name arrived with the wrong size"
done

# The box's own part of the store (up to its closing brace) holds one icon
# record per dropped file under "Icons"; records are saved as each file lands.
box_store() {
  awk '/ComID_d4444\{/ {inside = 1} inside {print; depth += gsub(/\{/, "{") - gsub(/\}/, "}"); if (depth == 0) exit}' \
    "$DATA/DesktopContainer.kelm"
}
missing=""
for _ in $(seq 100); do
  store=$(box_store)
  missing=""
  for name in "${names[@]}"; do
    printf '%s\n' "$store" | grep -qF "path : \"$(store_path "$BOX_FOLDER/$name")\"" || missing+=" $name"
  done
  [ -z "$missing" ] && break
  sleep 0.1
done
[ -z "$missing" ] || fail "no icon record for:$missing"
printf '%s\n' "$store" | grep -q 'Icons{' || fail "the records are not under Icons"
records=$(printf '%s\n' "$store" | grep -cE '^[[:space:]]*path : ')
[ "$records" = "${#names[@]}" ] || fail "$records icon records for ${#names[@]} files"

# Let the icons' paint land, then keep a picture for a look by eye.
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
import -window root "$WORK/drop_after.png" 2>/dev/null || true

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
errors=$(cat "$DATA"/logs/*.txt | grep -F '][ERROR]' || true)
[ -z "$errors" ] || fail "errors in the log: $errors"
echo "PASS"
