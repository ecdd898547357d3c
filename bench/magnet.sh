#!/usr/bin/env bash
# The magnet window beside Wine's own notepad: how fast it docks when the
# Open dialog appears (bench_magnet_dock, 20 openings: median and worst),
# and what it costs while no dialog is open: CPU of Tessik.exe over idle
# seconds with the magnet window on and off, and the messages dispatched to
# the magnet window's procedure (from Wine's message trace, a run of its
# own). The poll is a TIMERPROC: Wine calls it without tracing a dispatch,
# so its cost shows only in the CPU figures; any paint or framework timer
# would show in the trace.
#
#   bash bench/magnet.sh        (MAGNET_IDLE_S=10 by default)
set -euo pipefail
# A prefix of the benchmark's own: never run.sh's, where the user's own
# Tessik may live.
export WINEPREFIX_TESSIK="${WINEPREFIX_TESSIK:-${TESSIK_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}/wineprefix.magnetbench}"
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
source "$(dirname "${BASH_SOURCE[0]}")/seed.sh"
ROOT="${TMPDIR:-/tmp}/tessik_bench_magnet.$$"
PIDS=()
finish_bench() {
  local pid
  for pid in "${PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  stop_display
  rm -rf "$ROOT"
}
trap 'finish_bench' EXIT
tessik_setup --target Tessik WindowProbe bench_magnet_dock >/dev/null

IDLE_S="${MAGNET_IDLE_S:-10}"
PROBE_EXE="$TESSIK_BUILD/tests/e2e/WindowProbe.exe"
DOCK_EXE="$TESSIK_BUILD/bench/bench_magnet_dock.exe"

probe() { bench_probe "$PROBE_EXE" "$@"; }
# No figure is taken while the program shows a message box.
no_notice() { refuse_with_notice "$1" bench_probe "$PROBE_EXE"; }

# A portable program folder with its four stores, the magnet window on or
# off, no boxes.
prepare() {
  local app="$ROOT/$1/app"
  mkdir -p "$app"
  cp "$TESSIK_BUILD/Tessik.exe" "$app/Tessik.exe"
  seed_data_folder "$app/.tessik_config" "$ROOT/$1/boxes" "" "$2"
}

# Starts Tessik (optionally with the message trace into $2) and waits for
# the main window and a moment of rest.
start() {
  local app="$ROOT/$1/app"
  if [ -n "${2:-}" ]; then
    (cd "$app" && WINEDEBUG=-all,+message exec wine "$app/Tessik.exe") >/dev/null 2>"$2" &
  else
    (cd "$app" && exec wine "$app/Tessik.exe") >/dev/null 2>&1 &
  fi
  RUN_PID=$!
  PIDS+=("$RUN_PID")
  probe wait "Kelm.Class.Tessik.App.Main" "Tessik" any 60000 >/dev/null || { echo "magnet: no main window" >&2; exit 1; }
  sleep 5
}

stop() {
  kill -9 "$RUN_PID" 2>/dev/null || true
  wait "$RUN_PID" 2>/dev/null || true
  # Notepad too: the next run starts in an empty prefix.
  local pid
  for pid in "${PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  wineserver -w 2>/dev/null || true
}

idle_cpu() {
  local hz a b
  hz="$(getconf CLK_TCK)"
  a="$(cpu_ticks "$RUN_PID")"
  sleep "$IDLE_S"
  b="$(cpu_ticks "$RUN_PID")"
  no_notice "CPU at rest"
  awk -v d=$((b - a)) -v hz="$hz" -v s="$IDLE_S" 'BEGIN{printf "%.2f", 100 * d / hz / s}'
}

prepare on true
prepare off false

start off
cpu_off="$(idle_cpu)"
stop

start on
probe wait "Tessik.Kelm.Com.MagWin.Class" "Tessik.Com.MagWindow" hidden 20000 >/dev/null ||
  { echo "magnet: no magnet window" >&2; exit 1; }
cpu_on="$(idle_cpu)"
(cd "$ROOT" && exec wine notepad) >/dev/null 2>&1 &
PIDS+=("$!")
probe wait "Notepad" "Untitled - Notepad" visible 30000 >/dev/null || { echo "magnet: no notepad" >&2; exit 1; }
dock="$(wine "$DOCK_EXE" | tr -d '\r')"
no_notice "docking"
printf '%s\n' "$dock"
stop

trace="$ROOT/trace.txt"
start on "$trace"
from="$(stat -c %s "$trace")"
sleep "$IDLE_S"
to="$(stat -c %s "$trace")"
no_notice "messages at rest"
stop
part="$ROOT/part.txt"
tail -c +"$((from + 1))" "$trace" | head -c "$((to - from))" | grep 'L"Tessik.Com.MagWindow".* dispatched' > "$part" || true
per_s() { awk -v n="$1" -v s="$IDLE_S" 'BEGIN{printf "%.1f", n / s}'; }
echo "no dialog open, ${IDLE_S} s:"
echo "  CPU of Tessik.exe, magnet window off: ${cpu_off} % of a core; on: ${cpu_on} %"
echo "  dispatched to the magnet window per second: WM_TIMER $(per_s "$(grep -c WM_TIMER "$part" || true)"), WM_PAINT $(per_s "$(grep -c WM_PAINT "$part" || true)"), all $(per_s "$(wc -l < "$part")")"
