#!/usr/bin/env bash
# The start's own save of a store cannot be written (here its temporary
# file's name is taken by a folder; the same as a file held by another
# program): the user is told the change is kept and tried again, which is
# true, and the store lands by itself once it can be written.
source "$(dirname "$0")/lib.sh"

mkdir -p "$WORK/boxes"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
mkdir "$DATA/Tessik.kelm.saving"

start_tessik
pid=$LAST_PID
wait_main_window any
[ "$(close_notices)" -ge 1 ] || fail "the failed save was not told"
log="$DATA/logs/${TODAY}_00.txt"
grep -q '暂时无法保存.*Tessik.kelm' "$log" || fail "the kept change was not told: $(grep ERROR "$log")"
grep -q '不会被保存' "$log" && fail "the user was told the changes are lost: $(grep ERROR "$log")"

rmdir "$DATA/Tessik.kelm.saving"
for i in $(seq 450); do
  grep -q 'ver : 100' "$DATA/Tessik.kelm" && break
  sleep 0.1
done
grep -q 'ver : 100' "$DATA/Tessik.kelm" || fail "the retry did not save: $(cat "$DATA/Tessik.kelm")"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
