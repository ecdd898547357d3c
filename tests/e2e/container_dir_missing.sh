#!/usr/bin/env bash
# A box root folder on a drive that does not exist: start-up goes on, the
# user is told once, and the program quits normally.
source "$(dirname "$0")/lib.sh"

seed_app_store 'containerDir : "Q:\\nowhere\\boxes"'
start_tessik
pid=$LAST_PID
wait_main_window visible
probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "no notice shown"
grep -q 'Could not create Q:' "$DATA/logs/${TODAY}_00.txt" || fail "failure not logged"
probe post "#32770" "Tessik" 16 0 0 >/dev/null
probe gone "#32770" "Tessik" 10000 || fail "notice did not close"
runs "$pid" || fail "program ended"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code ($RC)"
echo "PASS"
