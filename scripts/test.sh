#!/usr/bin/env bash
# Installs what is missing, builds and runs every test under Wine. Extra
# arguments go to ctest.
#
# The tests run in lanes: a test shows windows, reads the screen back by
# pixels and starts Tessik, whose single-instance mutex is shared by the
# whole prefix, so no two tests can share a display or a prefix. Each lane
# has an Xvfb of its own and a Wine prefix of its own, a fresh copy of a
# template prefix that only setup ever ran in (build/test-prefixes), and
# ctest hands each test one free lane (a resource "lanes" of one slot per
# lane; scripts/env.sh picks the lane's display and prefix). Nothing here
# uses the caller's display or run.sh's prefix (build/wineprefix): a Tessik
# that run.sh started keeps running, with its data, while the tests run,
# and the stop at the end ends only the lanes' programs.
# TESSIK_TEST_LANES sets how many (default: a lane per two cores, three at
# most: with four on a machine whose every core was busy, some tests saw
# the program's own timing slip).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

lane_prefixes=()
stop_lanes() {
  local prefix
  for prefix in "${lane_prefixes[@]}"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
  stop_own_display
}
trap stop_lanes EXIT
install_missing_packages
install_icon_font
build

lanes="${TESSIK_TEST_LANES:-$(($(nproc) / 2))}"
[[ "$lanes" =~ ^[0-9]+$ ]] || lanes=1
[ "$lanes" -ge 1 ] || lanes=1
[ -n "${TESSIK_TEST_LANES:-}" ] || [ "$lanes" -le 3 ] || lanes=3

# Lane copies of the prefix as an earlier version of this script made
# them, beside run.sh's prefix: the tests' own, and no longer used.
for old in "$TESSIK_RUN_PREFIX".lane[0-9]*; do
  [ -d "$old" ] || continue
  WINEPREFIX="$old" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$old"
done

# What the results of the run say beyond ctest's count, from the folder $1
# where scripts/run-test.sh left each test's output (<test>.log), the test
# programs their reports (<test>.xml) and a hung test its mark (<test>.hung):
# - the tests that skipped, with the reason each gave: a skip passes in
#   ctest's count, and a test that skips wherever it runs checks nothing.
#   Read from the output, so that the skips of a program that hung or
#   crashed before its report are listed too;
# - the test programs that ran but gave no report (hung, crashed, or ended
#   by Wine): their count of what passed is missing;
# - the tests that hung, each with the bound it overran.
report_results() {
  local folder="$1" lines log name missing="" hung=""
  # A GoogleTest skip prints "<file>(<line>): Skipped" (or "<file>:<line>:"),
  # the reason and "[  SKIPPED ] <suite>.<test> (<n> ms)"; an end-to-end
  # script prints "e2e: skipped: <reason>" (skip_test in tests/e2e/lib.sh).
  lines=$(awk '
    FNR == 1 { reason = ""; collecting = 0; program = FILENAME; sub(/.*\//, "", program); sub(/\.log$/, "", program) }
    { sub(/\r$/, "") }
    /^e2e: skipped: / { print "  " program ": " substr($0, 15); next }
    /[:)]:? Skipped$/ { collecting = 1; reason = ""; next }
    /^\[  SKIPPED \] .* \([0-9]+ ms\)$/ {
      name = $0; sub(/^\[  SKIPPED \] /, "", name); sub(/ \([0-9]+ ms\)$/, "", name)
      print "  " name " (" program "): " (reason == "" ? "no reason given" : reason)
      collecting = 0; reason = ""; next
    }
    /^\[/ { collecting = 0 }
    collecting && $0 != "" { reason = $0 }
  ' "$folder"/*.log 2>/dev/null || true)
  if [ -z "$lines" ]; then
    echo "test: no test skipped"
  else
    echo "test: skipped $(wc -l <<<"$lines"):"
    echo "$lines"
  fi
  for log in "$folder"/test_*.log; do
    [ -f "$log" ] || continue
    name="${log##*/}"
    name="${name%.log}"
    [ -f "$folder/$name.xml" ] || missing+="${missing:+, }$name"
  done
  [ -z "$missing" ] || echo "test: gave no report (its skips above come from its output): $missing"
  for log in "$folder"/*.hung; do
    [ -f "$log" ] || continue
    name="${log##*/}"
    hung+="${hung:+, }${name%.hung} (no end within $(cat "$log") s)"
  done
  [ -z "$hung" ] || echo "test: HUNG, ended by the runner: $hung"
}

# Wine's service processes start with the first program of a prefix, and
# its desktop process with the first that needs the desktop window, each in
# that program's process group and with its output; started from a test,
# they would hold ctest's pipe open long after the test has ended. The
# lane's desktop holder (tests/e2e/LaneDesktop.cpp) starts them all, in a
# session of its own and with its output going nowhere but its answer
# file, and keeps the prefix and its desktop up for the whole run
# (wineserver -k ends it on exit). Needs the lane's DISPLAY.
declare -A desktop_holders
hold_lane_desktop() {
  local prefix="$1"
  rm -f "$prefix.desktop"
  WINEPREFIX="$prefix" setsid wine "$TESSIK_BUILD/tests/e2e/LaneDesktop.exe" 300000 \
    </dev/null >"$prefix.desktop" 2>/dev/null &
  desktop_holders[$prefix]=$!
}
# Waits (bounded: a prefix's start was seen to take a minute on a busy
# machine) until the holder of the prefix $1 has its desktop. Wine now and
# then ends a program at its very start: a holder that ended without its
# answer is started again, twice at most.
await_lane_desktop() {
  local prefix="$1" attempt
  for attempt in 1 2 3; do
    for _ in $(seq 3000); do
      grep -q '^ready' "$prefix.desktop" 2>/dev/null && return 0
      kill -0 "${desktop_holders[$prefix]}" 2>/dev/null || break
      sleep 0.1
    done
    grep -q '^ready' "$prefix.desktop" 2>/dev/null && return 0
    wait "${desktop_holders[$prefix]}" 2>/dev/null || true
    [ "$attempt" = 3 ] || hold_lane_desktop "$prefix"
  done
  echo "test: the Wine desktop of the lane $prefix did not come up" >&2
  return 1
}

displays=()
for lane in $(seq 0 $((lanes - 1))); do
  start_display
  displays+=("$DISPLAY")
done
# Setup's own programs show on the first lane's display.
export DISPLAY="${displays[0]}"
prepare_test_template
for lane in $(seq 0 $((lanes - 1))); do
  lane_prefixes+=("$TESSIK_TEST_PREFIXES/lane$lane")
done
copies=()
for prefix in "${lane_prefixes[@]}"; do
  prepare_lane_prefix "$prefix" &
  copies+=("$!")
done
for copy in "${copies[@]}"; do wait "$copy"; done

lanes_file="$TESSIK_BUILD/test-lanes.json"
ids=""
for lane in $(seq 0 $((lanes - 1))); do
  prefix="${lane_prefixes[$lane]}"
  if [ "$prefix" -ef "$TESSIK_RUN_PREFIX" ]; then
    echo "test: lane $lane would use run.sh's prefix" >&2
    exit 1
  fi
  export DISPLAY="${displays[$lane]}"
  export "TESSIK_LANE_${lane}_DISPLAY=$DISPLAY" "TESSIK_LANE_${lane}_PREFIX=$prefix"
  hold_lane_desktop "$prefix"
  ids+="${ids:+,}{\"id\":\"$lane\",\"slots\":1}"
done
export DISPLAY="${displays[0]}"
printf '{"version":{"major":1,"minor":0},"local":[{"lanes":[%s]}]}\n' "$ids" >"$lanes_file"
# Every prefix and its desktop are up before the first test starts.
for lane in $(seq 0 $((lanes - 1))); do
  DISPLAY="${displays[$lane]}" await_lane_desktop "${lane_prefixes[$lane]}"
done

echo "test: $lanes lanes"
started=$(date +%s)
cd "$TESSIK_BUILD"
# Each test program writes its results here (see tests/CMakeLists.txt);
# those of an earlier run would be counted again.
rm -rf "$TESSIK_BUILD/test-results"
mkdir -p "$TESSIK_BUILD/test-results"
status=0
ctest --output-on-failure --resource-spec-file "$lanes_file" -j"$(nproc)" "$@" || status=$?
echo "test: the tests took $(($(date +%s) - started)) s"
report_results "$TESSIK_BUILD/test-results"
exit "$status"
