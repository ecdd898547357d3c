#!/usr/bin/env bash
# "--restart" waits (bounded) for the old process and then starts even
# though the old one is still running; each start numbers its own log.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\""
start_tessik
first=$LAST_PID
wait_main_window visible

start_second_tessik --restart
second=$LAST_PID
for _ in $(seq 200); do
  [ "$(probe count "$MAIN_CLASS" "$MAIN_TITLE")" = 2 ] && break
  runs "$second" || fail "restarted process ended"
  sleep 0.2
done
[ "$(probe count "$MAIN_CLASS" "$MAIN_TITLE")" = 2 ] || fail "restarted process opened no window"
[ -f "$DATA/logs/${TODAY}_00.txt" ] && [ -f "$DATA/logs/${TODAY}_01.txt" ] || fail "logs: $(ls "$DATA/logs")"

quit_from_tray
wait_exit "$first"
[ "$RC" = 0 ] || fail "first did not quit with 0 ($RC)"
wait_exit "$second"
[ "$RC" = 0 ] || fail "second did not quit with 0 ($RC)"
echo "PASS"
