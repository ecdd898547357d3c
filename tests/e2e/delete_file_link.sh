#!/usr/bin/env bash
# Del and "彻底删除" on an icon that is a link to a file outside every box
# (Wine lists such a link as a plain file, and its delete reaches the file
# behind it): the file behind it stays with its bytes, and where the link
# itself cannot be removed it stays too and the user is told. Real key
# presses and clicks throughout (the notice is closed by message).
source "$(dirname "$0")/lib.sh"

FOLDER="$WORK/boxes/d8888"
OUTSIDE="$WORK/Documents"
mkdir -p "$FOLDER" "$OUTSIDE"
printf 'budget 2026\r\n\x01\x02' > "$OUTSIDE/budget.xlsx"
expected=$(sha256sum < "$OUTSIDE/budget.xlsx")
ln -s "$OUTSIDE/budget.xlsx" "$FOLDER/budget shortcut.xlsx"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box d8888 "Links" "$FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
# The icon is placed once the box has synced its folder into the store.
wait_file "grep -q 'budget shortcut' '$DATA/DesktopContainer.kelm' 2>/dev/null" || fail "the box never listed the link"
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"
delete_first_icon_for_good delete_file_link_question

# The job ends once the log says what became of the icon.
wait_file "grep -q 'budget shortcut.xlsx' '$DATA'/logs/*.txt 2>/dev/null" || fail "the delete never ran"
[ -f "$OUTSIDE/budget.xlsx" ] || fail "the file behind the link was deleted: $(ls -la "$OUTSIDE" 2>&1)"
[ "$(sha256sum < "$OUTSIDE/budget.xlsx")" = "$expected" ] || fail "the file behind the link changed"
# Wine cannot remove the link itself: it stays and the user is told.
if [ -L "$FOLDER/budget shortcut.xlsx" ]; then
  probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "the user was not told what stayed"
  wait_still "#32770" "Tessik"
  import -window root "$WORK/delete_file_link_stayed.png" 2>/dev/null || true
  [ "$(close_notices)" -ge 1 ] || fail "no notice to close"
  grep -q 'Failed to permanently delete: .*budget shortcut.xlsx' "$DATA"/logs/*.txt || fail "no log line names the link"
  ! grep -q 'Permanently deleted: .*budget shortcut.xlsx' "$DATA"/logs/*.txt || fail "the log says the link went"
fi

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
