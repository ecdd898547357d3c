#!/usr/bin/env bash
# Runs the whole test suite several times in a row while busy loops keep
# every core of the machine busy, as on a loaded CI machine; the test
# script knows nothing of them. Prints each run's time and stops at the
# first failing run.
#   bash scripts/under-load.sh [runs (3)] [extra arguments for test.sh]
# TESSIK_BUSY_LOOPS sets how many busy loops run (default: one per core;
# twice or four times as many stand for a machine shared with other work).
set -uo pipefail
runs="${1:-3}"
shift || true
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

hogs=()
stop_hogs() {
  local pid
  for pid in "${hogs[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${hogs[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  hogs=()
}
trap stop_hogs EXIT INT TERM

loops="${TESSIK_BUSY_LOOPS:-$(nproc)}"
[[ "$loops" =~ ^[0-9]+$ ]] || loops="$(nproc)"
for _ in $(seq "$loops"); do
  bash -c 'while :; do :; done' &
  hogs+=("$!")
done
echo "under-load: ${#hogs[@]} busy loops started (pids ${hogs[*]})"

status=0
for run in $(seq "$runs"); do
  start=$(date +%s)
  if bash "$here/test.sh" "$@"; then result=passed; else result=FAILED; status=1; fi
  echo "under-load: run $run of $runs $result in $(( $(date +%s) - start )) s (at $(date -u +%H:%M:%S) UTC, load $(cut -d' ' -f1-3 /proc/loadavg))"
  [ "$status" = 0 ] || break
done
stop_hogs
exit "$status"
