#!/usr/bin/env bash
# A second start raises the hidden main window of the first and exits 0.
# A minimised main window comes back, restored, from a tray click and from
# a second start.
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
mains=$(probe count "$MAIN_CLASS" "$MAIN_TITLE" || true)
[ "$mains" = 1 ] || fail "expected one main window, counted '$mains': $(probe list | grep -F "$MAIN_CLASS" || true)"
runs "$first" || fail "first instance ended"

WM_SYSCOMMAND=274
SC_MINIMIZE=61472
minimise() {
  probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_SYSCOMMAND $SC_MINIMIZE 0 >/dev/null || fail "no main window to minimise"
  probe wait "$MAIN_CLASS" "$MAIN_TITLE" iconic 10000 >/dev/null || fail "main window not minimised"
}
restored() { probe wait "$MAIN_CLASS" "$MAIN_TITLE" restored 10000 >/dev/null || fail "$1 left the main window minimised"; }

minimise
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_TRAY 0 $WM_LBUTTONUP >/dev/null || fail "no main window for the tray"
restored "a tray click"

minimise
start_second_tessik
wait_exit "$LAST_PID"
[ "$RC" = 0 ] || fail "second start of a minimised Tessik: exit code $RC"
restored "a second start"

quit_from_tray
wait_exit "$first"
[ "$RC" = 0 ] || fail "quit exit code $RC"
[ "$(ls "$DATA/logs" | wc -l)" = 1 ] || fail "second start wrote a log"
echo "PASS"
