#!/usr/bin/env bash
# "不记录日志" ("logMode" 0): a start writes no log file.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false" 'logMode : 0'
start_tessik
pid=$LAST_PID
wait_main_window any
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
[ -z "$(ls "$DATA/logs" 2>/dev/null)" ] || fail "a log was written: $(ls "$DATA/logs")"
echo "PASS"
