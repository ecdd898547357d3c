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

# The tests that skipped, with the reason each gave: a skip passes in
# ctest's count, and a test that skips wherever it runs checks nothing.
# Reads the XML results the test programs wrote into the folder $1.
report_skipped_tests() {
  local lines
  lines=$(awk '
    function unescape(s) {
      gsub(/&#x0A;/, "\n", s); gsub(/&#x0D;/, "", s); gsub(/&quot;/, "\"", s)
      gsub(/&apos;/, "\047", s); gsub(/&lt;/, "<", s); gsub(/&gt;/, ">", s); gsub(/&amp;/, "\\&", s)
      return s
    }
    function attribute(line, key,   rest) {
      rest = substr(line, index(line, " " key "=\"") + length(key) + 3)
      return substr(rest, 1, index(rest, "\"") - 1)
    }
    /<testcase / && /result="skipped"/ { name = attribute($0, "classname") "." attribute($0, "name") }
    /<skipped message=/ && name != "" {
      n = split(unescape(attribute($0, "message")), parts, "\n")
      program = FILENAME; sub(/.*\//, "", program); sub(/\.xml$/, "", program)
      print "  " name " (" program "): " parts[n]
      name = ""
    }' "$1"/*.xml 2>/dev/null || true)
  if [ -z "$lines" ]; then
    echo "test: no test skipped"
  else
    echo "test: skipped $(wc -l <<<"$lines"):"
    echo "$lines"
  fi
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
  # Wine's service processes start with the first program of a prefix and
  # inherit its output; started from a test they would hold ctest's pipe
  # open until they end. A background program started first owns them
  # instead and keeps the prefix up for the whole run (wineserver -k ends
  # it on exit).
  WINEPREFIX="$prefix" wine ping -n 100000 127.0.0.1 </dev/null >/dev/null 2>&1 &
  ids+="${ids:+,}{\"id\":\"$lane\",\"slots\":1}"
done
export DISPLAY="${displays[0]}"
printf '{"version":{"major":1,"minor":0},"local":[{"lanes":[%s]}]}\n' "$ids" >"$lanes_file"
# Every prefix is up before the first test starts.
for prefix in "${lane_prefixes[@]}"; do
  for _ in $(seq 100); do
    WINEPREFIX="$prefix" wine cmd /c exit 0 </dev/null >/dev/null 2>&1 && break
    sleep 0.1
  done
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
report_skipped_tests "$TESSIK_BUILD/test-results"
exit "$status"
