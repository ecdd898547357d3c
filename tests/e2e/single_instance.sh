#!/usr/bin/env bash
# A second start raises the hidden main window of the first and exits 0.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
start_tessik
first=$LAST_PID
wait_main_window hidden

start_second_tessik
second=$LAST_PID
wait_exit "$second"
[ "$RC" = 0 ] || fail "second start exit code $RC"
probe wait "$MAIN_CLASS" "$MAIN_TITLE" visible 10000 >/dev/null || fail "first main window not shown"
[ "$(probe count "$MAIN_CLASS" "$MAIN_TITLE")" = 1 ] || fail "more than one main window"
runs "$first" || fail "first instance ended"

quit_from_tray
wait_exit "$first"
[ "$RC" = 0 ] || fail "quit exit code $RC"
[ "$(ls "$DATA/logs" | wc -l)" = 1 ] || fail "second start wrote a log"
echo "PASS"
