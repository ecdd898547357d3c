#!/usr/bin/env bash
# The box store cut right after its first root (it reads to its end, but
# its last root is gone) and the magnet store deleted from the data folder:
# the start tells the user, keeps the cut bytes in a numbered ".bak", and the
# automatic backup (every minute here) leaves the node that holds the good
# state alone.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false" 'AutoBackupInterval : 1'
seed_box_store "$(stored_box a1111 40 First)" "$(stored_box b2222 400 Second)"
AUTO="$DATA/Backups/AutoBackup"

# One start writes the stores in the program's own form; the automatic node
# of that run holds them.
run_once_and_quit 2
mkdir -p "$AUTO" "$WORK/node"
cp "$DATA"/*.kelm "$AUTO/"
cp "$AUTO"/*.kelm "$WORK/node/"
grep -q 'ComID_b2222' "$AUTO/DesktopContainer.kelm" || fail "the node lacks the boxes"

# Up to and including the line that closes the first root.
awk '{print} /^}/ {exit}' "$DATA/DesktopContainer.kelm" > "$WORK/cut.kelm"
[ "$(wc -c < "$WORK/cut.kelm")" -lt "$(wc -c < "$DATA/DesktopContainer.kelm")" ] || fail "nothing was cut"
cp "$WORK/cut.kelm" "$DATA/DesktopContainer.kelm"
rm "$DATA/MagnetCom.kelm"

# The damaged start's minute lasts 2 s (the test build's).
export TESSIK_TEST_MINUTE_MS=2000
start_tessik
pid=$LAST_PID
wait_main_window any
probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "the damaged stores were not told"
notice=$(probe item-text "#32770" "Tessik" 65535)
[[ "$notice" == *DesktopContainer.kelm* && "$notice" == *MagnetCom.kelm* ]] || fail "notice text: $notice"
# The start tells once: every notice writes one line to the log, and the
# start's begins with these words (the minute tick's own notice begins
# with "启动时"). The notices on screen are closed.
close_notices >/dev/null
start_notices() { cat "$DATA/logs/${TODAY}"_*.txt | grep -c '\[ERROR\] 以下设置文件已损坏或缺失' || true; }
for _ in $(seq 50); do
  [ "$(start_notices)" -gt 0 ] && break
  sleep 0.1
done
told=$(start_notices)
[ "$told" = 1 ] || fail "the start told $told times"
cmp -s "$WORK/cut.kelm" "$DATA/DesktopContainer.kelm.1.bak" || fail "the cut store was not kept in .1.bak"

# The next tick of the minute timer keeps the node and says why.
log="$DATA/logs/${TODAY}_00.txt"
for _ in $(seq 300); do
  ls "$DATA/logs/${TODAY}"_*.txt >/dev/null 2>&1 && grep -q '不会更新自动节点' "$DATA/logs/${TODAY}"_*.txt && break
  sleep 0.1
done
grep -q '不会更新自动节点' "$DATA/logs/${TODAY}"_*.txt || fail "no automatic backup tick was seen: $(cat "$DATA/logs/${TODAY}"_*.txt)"
for f in Tessik.kelm DesktopContainer.kelm MagnetCom.kelm QuickPanelCom.kelm; do
  cmp -s "$WORK/node/$f" "$AUTO/$f" || fail "the automatic node's $f was replaced"
done
close_notices >/dev/null
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
