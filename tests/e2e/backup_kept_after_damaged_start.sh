#!/usr/bin/env bash
# The automatic node holds two boxes; the box store is cut inside the
# second. The damaged start sets the node aside as a manual node of its own
# and says where; the next start reads the reduced store completely and its
# minute tick rewrites the automatic node, but the node set aside still
# holds the second box.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false" 'AutoBackupInterval : 1'
seed_box_store "$(stored_box a1111 40 First)" "$(stored_box b2222 400 Second)"
AUTO="$DATA/Backups/AutoBackup"
USER_NODES="$DATA/Backups/UserBackups"

# One start writes the stores in the program's own form: they are the node.
run_once_and_quit 2
mkdir -p "$AUTO"
cp "$DATA"/*.kelm "$AUTO/"
grep -q '"Second"' "$AUTO/DesktopContainer.kelm" || fail "the node lacks the second box's title"

# Cut inside the second box: its title is lost.
line=$(grep -n 'ComID_b2222' "$DATA/DesktopContainer.kelm" | cut -d: -f1)
head -n $((line + 2)) "$DATA/DesktopContainer.kelm" > "$WORK/cut.kelm"
cp "$WORK/cut.kelm" "$DATA/DesktopContainer.kelm"

start_tessik
pid=$LAST_PID
wait_main_window any
probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "the damaged store was not told"
notice=$(probe item-text "#32770" "Tessik" 65535)
kept=$(ls "$USER_NODES" 2>/dev/null | grep '^bk_.*_auto$' | head -n 1 || true)
[ -n "$kept" ] || fail "no node was set aside: $(ls -R "$DATA/Backups")"
[[ "$notice" == *"$kept"* ]] || fail "the notice does not say where the node is: $notice"
close_notices >/dev/null
quit_from_tray
wait_exit "$pid"

# The start after the damaged one: its first tick (of a 2 s minute in the
# test build) rewrites the automatic node.
export TESSIK_TEST_MINUTE_MS=2000
start_tessik
pid=$LAST_PID
wait_main_window any
for _ in $(seq 300); do
  grep -q '"Second"' "$AUTO/DesktopContainer.kelm" || break
  sleep 0.1
done
grep -q '"Second"' "$AUTO/DesktopContainer.kelm" && fail "no tick rewrote the automatic node"
for f in Tessik.kelm DesktopContainer.kelm MagnetCom.kelm QuickPanelCom.kelm; do
  [ -f "$USER_NODES/$kept/$f" ] || fail "the node set aside lacks $f"
done
grep -q '"Second"' "$USER_NODES/$kept/DesktopContainer.kelm" || fail "the node set aside lost the second box's title"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
