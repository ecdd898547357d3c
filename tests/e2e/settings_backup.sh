#!/usr/bin/env bash
# The settings page scrolled through; a manual backup node with the four
# store files; a change, then the restore of that node: the program starts
# again with the node's stores, and the state before the restore is kept
# as a node of its own.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" 'themeBaseColor : "#FFFFFF"'
seed_box_store "$(stored_box 1 100 'First')"
NODES="$DATA/Backups/UserBackups"

open_settings_page

# 20 notches: the page is 540 down; the backup row is at y 952 - 540.
wheel 20
shot_still settings_middle settings_top
click_for_window 630 427 "#32770" "备份" || fail "no backup message" # 创建手动节点
probe post "#32770" "备份" "$WM_CLOSE" 0 0 >/dev/null
probe gone "#32770" "备份" 10000 || fail "the backup message stayed"
node=$(ls "$NODES" | grep '^bk_' | head -n1)
[[ "$node" =~ ^bk_[0-9]{4}_[0-9]{2}_[0-9]{2}_[0-9]{2}_[0-9]{2}$ ]] || fail "node name: $(ls "$NODES")"
for f in Tessik.kelm DesktopContainer.kelm MagnetCom.kelm QuickPanelCom.kelm; do
  cmp -s "$DATA/$f" "$NODES/$node/$f" || fail "$f of the node differs from the data folder"
done
grep -q 'doubleClickAction' "$DATA/Tessik.kelm" && fail "doubleClickAction stored before the change"

# Back to the top: the double-click switch at y 492 is turned on.
wheel 20 up
shot_still settings_top_again settings_middle
click 490 503
[ "$(stored_setting doubleClickAction)" = true ] || fail "the switch stored '$(stored_setting doubleClickAction)'"

shot_still settings_switched
wheel 20
shot_still settings_before_restore settings_switched
click_for_window 540 427 "$POPUP_CLASS" "$POPUP_TITLE" || fail "no restore chooser" # 恢复
popup_ok 1 # the manual node, after the automatic one
# Before the restart the user is told where the state before it is kept.
probe wait "#32770" "恢复" visible 15000 >/dev/null || fail "the restore was not told"
probe post "#32770" "恢复" "$WM_CLOSE" 0 0 >/dev/null
wait_exit "$pid"
[ "$RC" = 0 ] || fail "the restoring process ended with $RC"
# The new process opens its window once the old one has gone.
wait_main_window visible
[ -z "$(stored_setting doubleClickAction)" ] || fail "the restored store still has the change"
cmp -s "$DATA/DesktopContainer.kelm" "$NODES/$node/DesktopContainer.kelm" || fail "box store not restored"
before=$(ls "$NODES" | grep '_before_restore$' | head -n1)
[ -n "$before" ] || fail "no pre-restore node: $(ls "$NODES")"
[ "$(stored_setting doubleClickAction "$NODES/$before/Tessik.kelm")" = true ] || fail "the pre-restore node lacks the change"

quit_from_tray
probe gone "$MAIN_CLASS" "$MAIN_TITLE" 20000 || fail "the restarted Tessik did not quit"
echo "PASS"
