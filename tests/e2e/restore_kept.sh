#!/usr/bin/env bash
# A restore is what the user gets after the restart: while the "恢复"
# message is open, a file arrives in a box's folder and the folder refresh
# runs over it; the boxes this process still holds must not be saved over
# the restored box store.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"

SHOWN="$WORK/shown"
mkdir -p "$SHOWN"
echo one >"$SHOWN/one.txt"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" 'themeBaseColor : "#FFFFFF"'
seed_folder_box a1111 'Current box' "$SHOWN"

# A manual node whose box store holds another box, elsewhere on the screen.
NODE="$DATA/Backups/UserBackups/bk_2024_01_02_03_04"
mkdir -p "$NODE"
cp "$DATA"/{Tessik,MagnetCom,QuickPanelCom}.kelm "$NODE/"
printf 'Components{\n%s\n}\n%s\n' "$(stored_box b2222 700 'Node box')" "$OWN_ROOT" | crlf >"$NODE/DesktopContainer.kelm"
RESTORED="$NODE/DesktopContainer.kelm"

open_settings_page
wait_box_rect
# 20 notches: the backup rows are 540 down the page.
wheel 20
shot_still settings_middle settings_top
click_for_window 540 427 "$POPUP_CLASS" "$POPUP_TITLE" || fail "no restore chooser" # 恢复
popup_ok 1 # the manual node, after the automatic one
probe wait "#32770" "恢复" visible 15000 >/dev/null || fail "the restore was not told"
cmp -s "$DATA/DesktopContainer.kelm" "$RESTORED" || fail "the box store was not restored"

# While the message is open: a new file in the box's folder. The refresh
# (every 2.6 s, inside the message's loop too) takes it in and saves; that
# save must be skipped. Watched for two refreshes at least, and until the
# skip is logged: without it nothing was tried.
echo two >"$SHOWN/two.txt"
started=$(date +%s%N)
skipped=false
for _ in $(seq 200); do
  cmp -s "$DATA/DesktopContainer.kelm" "$RESTORED" || break
  grep -q 'Save of .*DesktopContainer.kelm skipped' "$DATA"/logs/*.txt && skipped=true
  $skipped && [ $(($(date +%s%N) - started)) -ge 6000000000 ] && break
  sleep 0.1
done
probe wait "#32770" "恢复" visible 1000 >/dev/null || fail "the restore message closed on its own"
if cmp -s "$DATA/DesktopContainer.kelm" "$RESTORED"; then
  $skipped || fail "no folder refresh tried to save while the message was open"
fi

probe post "#32770" "恢复" "$WM_CLOSE" 0 0 >/dev/null
wait_exit "$pid"
[ "$RC" = 0 ] || fail "the restoring process ended with $RC"
# The new process opens its window once the old one has gone.
wait_main_window visible
grep -q 'title : "Node box"' "$DATA/DesktopContainer.kelm" && ! grep -q 'Current box' "$DATA/DesktopContainer.kelm" ||
  fail "the box store after the restart is not the node's: $(cat "$DATA/DesktopContainer.kelm")"
# The boxes shown are the node's: one, where the node put it.
for _ in $(seq 100); do
  probe list | grep -F "$BOX_PREFIX" | grep -qF "700,60,300,300" && break
  sleep 0.1
done
boxes=$(probe list | grep -F "$BOX_PREFIX" || true)
grep -qF "700,60,300,300" <<<"$boxes" && [ "$(grep -c . <<<"$boxes")" = 1 ] ||
  fail "the boxes shown after the restart are not the node's: $boxes"

quit_from_tray
probe gone "$MAIN_CLASS" "$MAIN_TITLE" 20000 || fail "the restarted Tessik did not quit"
echo "PASS"
