#!/usr/bin/env bash
# Del and "彻底删除" on a folder of a folder box that holds a link to a
# folder outside every box: the folder and the link go, the folder the link
# points to and its file stay. Real key presses and clicks throughout (the
# notice of what stayed is closed by message).
source "$(dirname "$0")/lib.sh"

FOLDER="$WORK/boxes/d7777"
OUTSIDE="$WORK/outside"
mkdir -p "$FOLDER/sub" "$OUTSIDE"
printf 'inner' > "$FOLDER/sub/inner.txt"
printf 'keep' > "$OUTSIDE/keep.txt"
ln -s "$OUTSIDE" "$FOLDER/sub/lnk"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box d7777 "Links" "$FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
# The icon is placed once the box has synced its folder into the store.
wait_file "grep -q 'sub' '$DATA/DesktopContainer.kelm' 2>/dev/null" || fail "the box never listed sub"
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"

delete_first_icon_for_good delete_question

wait_file "[ ! -e '$FOLDER/sub/inner.txt' ]" || fail "inner.txt stayed: $(ls -la "$FOLDER/sub" 2>&1)"
# Wine cannot remove a host link to a folder: the link, and sub holding
# it, then stay and the user is told what stayed. Elsewhere both go.
if [ -L "$FOLDER/sub/lnk" ]; then
  probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "the user was not told what stayed"
  wait_still "#32770" "Tessik"
  import -window root "$WORK/delete_stayed.png" 2>/dev/null || true
  [ "$(close_notices)" -ge 1 ] || fail "no notice to close"
  grep -q 'Failed to permanently delete: .*sub (still there: .*lnk)' "$DATA"/logs/*.txt || fail "no log line names the link"
else
  wait_file "[ ! -e '$FOLDER/sub' ]" || fail "sub stayed: $(ls -la "$FOLDER/sub" 2>&1)"
fi
[ "$(cat "$OUTSIDE/keep.txt" 2>/dev/null)" = keep ] || fail "the folder behind the link was touched: $(ls -la "$OUTSIDE" 2>&1)"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
