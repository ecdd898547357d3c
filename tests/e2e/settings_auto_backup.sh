#!/usr/bin/env bash
# With "AutoBackupInterval" 1 the automatic node is written a minute after
# start (the test build's minute, 2 s here); the settings page scrolled to
# its end; the interval menu stores the chosen interval.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" 'AutoBackupInterval : 1'
seed_box_store "$(stored_box 1 100 'First')"
AUTO="$DATA/Backups/AutoBackup"

export TESSIK_TEST_MINUTE_MS=2000
MINUTE_NS=2000000000
# When the node's last file was last written, in ns (its change time: a
# copy may keep the source's modification time).
node_written() { stat -c %.9Z "$AUTO/QuickPanelCom.kelm" 2>/dev/null | tr -d . || true; }
started=$(date +%s%N)
open_settings_page
# Far more notches than the page is long: it stops at its end.
wheel 60
shot_still settings_bottom settings_top

# The minute timer runs from the main window's creation: the node is not
# written before a minute has passed since the start, and is written again
# a minute later (not at the default's tenth minute).
first=""
for _ in $(seq 300); do
  first=$(node_written)
  [ -n "$first" ] && break
  sleep 0.1
done
[ -n "$first" ] || fail "no automatic node 30 s after the start"
[ $((first - started)) -ge $MINUTE_NS ] ||
  fail "the automatic node was written $(((first - started) / 1000000)) ms after the start, within the first minute"
second="$first"
for _ in $(seq 300); do
  second=$(node_written)
  [ "$second" != "$first" ] && break
  sleep 0.1
done
[ "$second" -gt "$first" ] && [ $((second - first)) -le $((4 * MINUTE_NS)) ] ||
  fail "the automatic node was written again $(((second - first) / 1000000)) ms after the first time, not a minute"
for f in Tessik.kelm DesktopContainer.kelm MagnetCom.kelm QuickPanelCom.kelm; do
  cmp -s "$DATA/$f" "$AUTO/$f" || fail "automatic node: $f missing or different ($(ls "$AUTO" 2>&1))"
done
[ -z "$(ls "$DATA/Backups/UserBackups" 2>/dev/null)" ] || fail "the automatic backup wrote a manual node"

# The interval row (y 952) is back in view 20 notches from the top.
wheel 60 up
shot_still settings_top_again settings_bottom
wheel 20
shot_still settings_middle settings_top_again
click_for_window 440 427 "$MENU_CLASS" "$MENU_TITLE" || fail "no interval menu"
wait_still "$MENU_CLASS" "$MENU_TITLE"
click_tray_menu_row $((60 + 67 * 65536)) # the second row, "每5分钟"
[ "$(stored_setting AutoBackupInterval)" = 5 ] || fail "interval stored as '$(stored_setting AutoBackupInterval)'"
shot_still settings_interval_5

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
