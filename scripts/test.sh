#!/usr/bin/env bash
# Installs what is missing, builds and runs every test under Wine. Extra
# arguments go to ctest.
#
# The tests run in lanes: a test shows windows, reads the screen back by
# pixels and starts Tessik, whose single-instance mutex is shared by the
# whole prefix, so no two tests can share a display or a prefix. Each lane
# has an Xvfb and a Wine prefix of its own (the first lane uses the display
# of the caller, if there is one, and the project's prefix; the others use
# copies of it), and ctest hands each test one free lane (a resource
# "lanes" of one slot per lane; scripts/env.sh picks the lane's display and
# prefix). TESSIK_TEST_LANES sets how many (default: a lane per two cores,
# three at most: with four on a machine whose every core was busy, some
# tests saw the program's own timing slip).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

lane_prefixes=("$WINEPREFIX")
stop_lanes() {
  local prefix
  for prefix in "${lane_prefixes[@]}"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
  stop_own_display
}
trap stop_lanes EXIT
tessik_setup

lanes="${TESSIK_TEST_LANES:-$(($(nproc) / 2))}"
[[ "$lanes" =~ ^[0-9]+$ ]] || lanes=1
[ "$lanes" -ge 1 ] || lanes=1
[ -n "${TESSIK_TEST_LANES:-}" ] || [ "$lanes" -le 3 ] || lanes=3

first_display="$DISPLAY"
lane_prefixes=("$WINEPREFIX")
for lane in $(seq 1 $((lanes - 1))); do
  prepare_lane_prefix "$WINEPREFIX.lane$lane"
  lane_prefixes+=("$WINEPREFIX.lane$lane")
done
lanes_file="$TESSIK_BUILD/test-lanes.json"
ids=""
for lane in $(seq 0 $((lanes - 1))); do
  prefix="${lane_prefixes[$lane]}"
  if [ "$lane" = 0 ]; then export DISPLAY="$first_display"; else start_display; fi
  export "TESSIK_LANE_${lane}_DISPLAY=$DISPLAY" "TESSIK_LANE_${lane}_PREFIX=$prefix"
  # Wine's service processes start with the first program of a prefix and
  # inherit its output; started from a test they would hold ctest's pipe
  # open until they end. A background program started first owns them
  # instead and keeps the prefix up for the whole run (wineserver -k ends
  # it on exit).
  WINEPREFIX="$prefix" wine ping -n 100000 127.0.0.1 </dev/null >/dev/null 2>&1 &
  ids+="${ids:+,}{\"id\":\"$lane\",\"slots\":1}"
done
export DISPLAY="$first_display"
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
status=0
ctest --output-on-failure --resource-spec-file "$lanes_file" -j"$(nproc)" "$@" || status=$?
echo "test: the tests took $(($(date +%s) - started)) s"
exit "$status"
