#!/usr/bin/env bash
# Runs one test for ctest (see tests/CMakeLists.txt) so that the test ends
# when its program ends and a hang is told as a hang:
#   run-test.sh <test name> <bound in s> <results folder> <command> [arguments]
#
# The command runs in a process group of its own, its output going to
# <results folder>/<test name>.log, never to ctest's pipe: a process it
# leaves behind (a Wine program it started) cannot keep ctest waiting for
# the end of that pipe. Once the command has ended, whatever is left of its
# group is named in the log and ended. A command still running after the
# bound is told as a hang, with its last output, and its group is ended;
# <test name>.hung then holds the bound for scripts/test.sh's summary.
# ctest's own TIMEOUT lies beyond the bound and only backs it up.
# The log is printed when the test ends (ctest shows it for a failure), a
# hung test's last lines only.
# The exit code is the command's, 124 for a hang.
set -uo pipefail
name="$1"
bound="$2"
results="$3"
shift 3
mkdir -p "$results"
log="$results/$name.log"
rm -f "$results/$name.hung"
: >"$log"

# Ends what is left of the group $1, politely first; names it in the log.
end_group() {
  local group="$1" members left i
  members=$(pgrep -d, -g "$group") || return 0
  # An ended process not yet reaped by its parent runs no more.
  left=$(ps -o pid=,stat=,args= -p "$members" | awk '$2 !~ /^Z/')
  [ -n "$left" ] || return 0
  {
    echo "run-test: still running when the test ended, now ended:"
    sed 's/^/run-test:   /' <<<"$left"
  } >>"$log"
  kill -TERM -- "-$group" 2>/dev/null || true
  for i in $(seq 50); do
    members=$(pgrep -d, -g "$group") || return 0
    ps -o stat= -p "$members" | grep -qv '^Z' || return 0
    sleep 0.1
  done
  kill -KILL -- "-$group" 2>/dev/null || true
}

# setsid: a background job of this shell is no group leader, so setsid
# makes it one without forking, and its process id names its group.
setsid "$@" </dev/null >>"$log" 2>&1 &
command_pid=$!
sleep "$bound" </dev/null >/dev/null 2>&1 &
timer_pid=$!
# The group is out of reach of a Ctrl+C or of ctest ending this script:
# it goes with it.
trap 'kill -TERM -- "-$command_pid" "$timer_pid" 2>/dev/null; exit 130' INT TERM
ended=""
wait -n -p ended "$command_pid" "$timer_pid"
status=$?
if [ "$ended" = "$command_pid" ]; then
  kill "$timer_pid" 2>/dev/null
  wait "$timer_pid" 2>/dev/null
  end_group "$command_pid"
  cat "$log"
  exit "$status"
fi

echo "$bound" >"$results/$name.hung"
echo "run-test: HANG: $name did not end within $bound s; its last output ($log):"
tail -n 30 "$log" | sed 's/^/run-test: | /'
end_group "$command_pid"
wait "$command_pid" 2>/dev/null
exit 124
