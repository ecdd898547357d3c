#!/usr/bin/env bash
# A forced crash (an access violation, then an uncaught C++ exception)
# leaves a FATAL line naming the exception code after the lines logged
# before it; the log opened in Notepad is closed again. Runs the test build.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\""

crash_once() {
  local kind="$1" code="$2" log="$3"
  TESSIK_TEST_CRASH="$kind" start_tessik
  local pid=$LAST_PID
  # Wine may hold the crashed process in its debugger's "Program Error"
  # dialog; closing that dialog ends the process.
  for _ in $(seq 100); do
    runs "$pid" || break
    probe post "#32770" "Program Error" 16 0 0 >/dev/null || true
    sleep 0.2
  done
  wait_exit "$pid"
  [ "$RC" != 0 ] && [ "$RC" != timeout ] || fail "$kind: exit code $RC"
  [ -f "$log" ] || fail "$kind: no log (exit code $RC; logs: $(ls "$DATA/logs" 2>&1 | tr '\n' ' '))"
  grep -q "\]\[FATAL\] Unhandled Exception (Code: $code) at address 0x" "$log" || fail "$kind: no FATAL line: $(cat "$log")"
  # Lines queued before the crash come first.
  local started fatal
  started=$(grep -n 'Tessik started' "$log" | cut -d: -f1)
  fatal=$(grep -n 'FATAL' "$log" | cut -d: -f1)
  [ -n "$started" ] && [ "$started" -lt "$fatal" ] || fail "$kind: start line missing or after the FATAL line"
  # Notepad shows the log (a visible window whose title names it); closed,
  # it leaves nothing behind.
  local name
  name=$(basename "$log")
  log_shown() { probe list | awk -F'\t' -v n="$name" 'index($2, n) && $3 == 1 {found=1} END {exit !found}'; }
  wait_file log_shown || wait_file log_shown || fail "$kind: Notepad did not show $name: $(probe list | cut -f1-3)"
  probe close-title "$name" >/dev/null || fail "$kind: could not close the window showing $name"
  wait_file '! log_shown' || fail "$kind: the window showing $name stayed open"
}

crash_once access 0xC0000005 "$DATA/logs/${TODAY}_00.txt"
crash_once cxx 0x20474343 "$DATA/logs/${TODAY}_01.txt"

# The switch lives in the test build only: the shipped program beside it
# does not even hold the variable's name.
shipped="$(dirname "$TESSIK_EXE")/Tessik.exe"
[ -f "$shipped" ] || fail "no shipped program at $shipped"
switch_count() { strings -e l "$1" | grep -c TESSIK_TEST_CRASH || true; }
[ "$(switch_count "$TESSIK_EXE")" != 0 ] || fail "the test build does not know the switch"
[ "$(switch_count "$shipped")" = 0 ] || fail "the shipped program reads TESSIK_TEST_CRASH"
echo "PASS"
