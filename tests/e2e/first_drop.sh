#!/usr/bin/env bash
# The first drop after a start is taken: as soon as the box is listed and
# two pictures of its place agree, a file dropped from another program
# moves into its folder, though start-up may not draw yet; a second drop
# is taken as well.
source "$(dirname "$0")/lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"

FOLDER="$WORK/boxes/f5555"
SOURCE="$WORK/source"
mkdir -p "$FOLDER" "$SOURCE"
printf 'kept\n' >"$FOLDER/kept.txt"
printf 'first\n' >"$SOURCE/first.txt"
printf 'second\n' >"$SOURCE/second.txt"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box f5555 "First drop" "$FOLDER"

start_tessik
pid=$LAST_PID
# Listed, shown or not: the drop may come while start-up cannot draw yet.
wait_box_count 1
IFS=, read -r bx by bw bh <<<"$(probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '{print $5}' | head -n1)"
wait_area_still "$bx" "$by" "$bw" "$bh" || fail "the box's place did not come to rest"

drop() {
  wine_read "$DROP_EXE" $((bx + bw / 2)) $((by + bh / 2)) "$(win_path "$SOURCE/$1")"
}
out=$(drop first.txt) || fail "the first drop found no target: $out"
wait_file '[ -f "$FOLDER/first.txt" ] && [ ! -e "$SOURCE/first.txt" ]' ||
  fail "the first drop moved nothing: $out; box folder: $(ls "$FOLDER")"
out=$(drop second.txt) || fail "the second drop found no target: $out"
wait_file '[ -f "$FOLDER/second.txt" ] && [ ! -e "$SOURCE/second.txt" ]' ||
  fail "the second drop moved nothing: $out"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
