#!/usr/bin/env bash
# A box showing a large folder: the real program in a portable folder of
# its own with one box on a folder of N files, for each N of LARGE_FILES
# (10,000 and 50,000 by default), each with a fresh program and folder.
# It prints how long the program took from its start until every visible
# icon had been drawn in its place and the CPU of Tessik.exe spent until
# then; then, the box's picture standing still, the CPU of Tessik.exe and
# of the prefix's wineserver over MEASURE_S seconds, and LARGE_LATER_S
# seconds on (0: not at all) the same again.
#
#   bash bench/large_folder.sh   (LARGE_FILES="10000 50000" LARGE_MEASURE_S=10 LARGE_LATER_S=30)
#   LARGE_TESSIK_EXE=/some/Tessik.exe bash bench/large_folder.sh   (another build;
#   nothing is built then, WindowProbe.exe must exist)
set -euo pipefail
# A prefix of the benchmark's own: never run.sh's, where the user's own
# Tessik may live.
export WINEPREFIX_TESSIK="${WINEPREFIX_TESSIK:-${TESSIK_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}/wineprefix.largebench}"
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
source "$(dirname "${BASH_SOURCE[0]}")/seed.sh"
ROOT="${TMPDIR:-/tmp}/tessik_bench_large.$$"
RUN_PID=""
stop_program() {
  if [ -n "$RUN_PID" ]; then
    kill -9 "$RUN_PID" 2>/dev/null || true
    wait "$RUN_PID" 2>/dev/null || true
  fi
  RUN_PID=""
}
finish_bench() {
  stop_program
  stop_display
  rm -rf "$ROOT"
}
trap 'finish_bench' EXIT
if [ -n "${LARGE_TESSIK_EXE:-}" ]; then
  ensure_display
  prepare_wine_prefix
else
  tessik_setup --target Tessik WindowProbe >/dev/null
fi
TESSIK_EXE="${LARGE_TESSIK_EXE:-$TESSIK_BUILD/Tessik.exe}"
PROBE_EXE="$TESSIK_BUILD/tests/e2e/WindowProbe.exe"
SIZES="${LARGE_FILES:-10000 50000}"
MEASURE_S="${LARGE_MEASURE_S:-10}"
LATER_S="${LARGE_LATER_S:-30}"
BOX_PREFIX="Tessik.Kelm.Com.Container.Class."

probe() { bench_probe "$PROBE_EXE" "$@"; }
no_notice() { refuse_with_notice "$1" bench_probe "$PROBE_EXE"; }
screen_sum() { import -window root -crop "${3}x${4}+${1}+${2}" -depth 8 rgb:- 2>/dev/null | md5sum; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
hz="$(getconf CLK_TCK)"

measure() {
  local server a b sa sb
  server="$(wineserver_pid)"
  a="$(cpu_ticks "$RUN_PID")"; sa="$([ -n "$server" ] && cpu_ticks "$server" || echo 0)"
  sleep "$MEASURE_S"
  b="$(cpu_ticks "$RUN_PID")"; sb="$([ -n "$server" ] && cpu_ticks "$server" || echo 0)"
  no_notice "CPU at rest"
  awk -v d=$((b - a)) -v sd=$((sb - sa)) -v hz="$hz" -v s="$MEASURE_S" \
    'BEGIN{printf "%.2f %.2f", 100 * d / hz / s, 100 * sd / hz / s}'
}

run_size() {
  local files="$1" run="$ROOT/$1"
  local app="$run/app" folder="$run/folder"
  mkdir -p "$app" "$folder"
  cp "$TESSIK_EXE" "$app/Tessik.exe"
  (cd "$folder" && seq -w 1 "$files" | sed 's/^/file_/; s/$/.dat/' | xargs touch)
  seed_data_folder "$app/.tessik_config" "$run/boxes" \
    "$(seed_box_member large 200 60 420 600 "大文件夹" "$folder")" false "showTessikMain : false"

  local started
  started=$(now_ms)
  (cd "$app" && exec wine "$app/Tessik.exe") >/dev/null 2>&1 &
  RUN_PID=$!
  probe wait "${BOX_PREFIX}*" "Tessik.Com.Container" visible 120000 >/dev/null ||
    { echo "large: the box did not show" >&2; exit 1; }
  local shown
  shown=$(now_ms)
  # The visible icons have appeared once the box's picture stands still over
  # four looks 250 ms apart, each taken once the box's thread has answered: a
  # thread still busy listing the folder or making its records paints
  # nothing, and its picture would look still too early. They were all
  # drawn by the first of those looks (when, and the CPU spent until then,
  # are noted as each look is taken), and not yet by the look before it.
  local rect bx by bw bh
  rect="$(probe list | awk -F'\t' -v p="$BOX_PREFIX" 'index($1, p) == 1 && $3 == 1 {print $5; exit}')"
  IFS=, read -r bx by bw bh <<<"$rect"
  local last="" still=0 now look_ms look_cpu drawn_ms=0 drawn_cpu=0 before_ms=0 previous_ms=0
  for _ in $(seq 600); do
    probe settled "${BOX_PREFIX}*" "Tessik.Com.Container" 120000 >/dev/null ||
      { echo "large: the box's thread never answered" >&2; exit 1; }
    look_ms=$(now_ms)
    look_cpu="$(cpu_ticks "$RUN_PID")"
    now="$(screen_sum "$bx" "$by" "$bw" "$bh")"
    if [ "$now" = "$last" ]; then
      still=$((still + 1))
    else
      still=0
      drawn_ms=$look_ms drawn_cpu=$look_cpu before_ms=$previous_ms
    fi
    last="$now" previous_ms=$look_ms
    [ "$still" -ge 3 ] && break
    sleep 0.25
  done
  [ "$still" -ge 3 ] || { echo "large: the box's picture never stood still" >&2; exit 1; }
  local rested
  rested=$(now_ms)
  no_notice "the time to every visible icon"

  local figures first first_server later later_server
  figures="$(measure)"
  read -r first first_server <<<"$figures"
  echo "box on a folder of $files files:"
  awk -v ms=$((drawn_ms - started)) -v before=$((before_ms > 0 ? before_ms - started : 0)) \
    -v t="$drawn_cpu" -v hz="$hz" \
    'BEGIN{printf "  start to every visible icon drawn %d ms (not yet at %d ms); CPU of Tessik.exe until then %.2f s (%.0f %% of a core)\n",
      ms, before, t / hz, (ms > 0 ? 100 * t / hz / (ms / 1000) : 0)}'
  echo "  shown to picture still $((rested - shown)) ms"
  echo "  the ${MEASURE_S} s after that: CPU of Tessik.exe ${first} % of a core, wineserver ${first_server} %"
  if [ "$LATER_S" -gt 0 ]; then
    sleep "$LATER_S"
    figures="$(measure)"
    read -r later later_server <<<"$figures"
    echo "  ${LATER_S} s later, ${MEASURE_S} s: CPU of Tessik.exe ${later} % of a core, wineserver ${later_server} %"
  fi
  stop_program
  rm -rf "$run"
}

for files in $SIZES; do
  run_size "$files"
done
