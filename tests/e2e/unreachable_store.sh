#!/usr/bin/env bash
# Store files the system cannot reach (here links that never resolve; the
# same as a share that is down): the start is not a first start, the other
# stores and their boxes load, and the unreachable files are neither read
# as empty nor saved over.
source "$(dirname "$0")/lib.sh"

ln -s Tessik.kelm.loop "$DATA/Tessik.kelm"
ln -s Tessik.kelm "$DATA/Tessik.kelm.loop"
ln -s QuickPanelCom.kelm.loop "$DATA/QuickPanelCom.kelm"
ln -s QuickPanelCom.kelm "$DATA/QuickPanelCom.kelm.loop"
seed_box_store "$(stored_box a1111 40 'still here')"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 1
[ "$(close_notices)" -ge 1 ] || fail "the user was not told"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"

for f in Tessik.kelm QuickPanelCom.kelm; do
  [ -L "$DATA/$f" ] || fail "$f was saved over"
  [ ! -e "$DATA/$f.saving" ] || fail "a save of $f was begun"
done
grep -q 'Could not load .*Tessik.kelm' "$DATA/logs/${TODAY}_00.txt" || fail "the failed load was not logged"
grep -q 'title : "still here"' "$DATA/DesktopContainer.kelm" || fail "the reachable store lost its box"
echo "PASS"
