#!/usr/bin/env bash
# A folder box follows changes another program makes in its folder: a file
# created, renamed and deleted from the shell shows in the box's records
# within a refresh or two.
source "$(dirname "$0")/lib.sh"

FOLDER="$WORK/followed"
mkdir -p "$FOLDER"
echo one >"$FOLDER/first.txt"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box f1111 "Followed" "$FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
STORE="$DATA/DesktopContainer.kelm"
has() { grep -qF "$1" "$STORE"; }
wait_file "has first.txt" || fail "the folder's file got no record"

echo two >"$FOLDER/second.txt"
wait_file "has second.txt" || fail "a file created in the folder got no record"
mv "$FOLDER/second.txt" "$FOLDER/third.txt"
wait_file "has third.txt && ! has second.txt" || fail "a file renamed in the folder kept its old record"
rm "$FOLDER/first.txt"
wait_file "! has first.txt" || fail "a file deleted from the folder kept its record"
[ "$(grep -c 'path :' "$STORE")" = 1 ] || fail "the box holds other records: $(grep 'path :' "$STORE")"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
