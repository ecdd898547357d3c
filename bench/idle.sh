#!/usr/bin/env bash
# What Tessik.exe costs at rest: the real program in a portable folder of
# its own, once with ten folder-mapping boxes of 100 files each and once
# with the main window alone. After the start-up fade-in has settled it
# measures 10 idle seconds: CPU time of the process (and of the prefix's
# wineserver, which every queued message also costs), and the WM_TIMER and
# WM_PAINT messages the program dispatched, counted per second and per
# window from Wine's message trace (a second run of its own, so the trace
# does not weigh on the CPU figures). The trace shows messages dispatched to
# windows: thread timers (the 2600 ms folder refresh, the 60 s backup tick)
# are not among them; their cost is in the CPU figures.
#
#   bash bench/idle.sh            (IDLE_SETTLE_S=20 IDLE_MEASURE_S=10 by default)
#   IDLE_ICONS=0 bash bench/idle.sh   (empty mapped folders)
#   IDLE_TESSIK_EXE=/some/Tessik.exe bash bench/idle.sh   (another build;
#   nothing is built then, WindowProbe.exe must exist)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
trap 'finish_bench' EXIT
if [ -n "${IDLE_TESSIK_EXE:-}" ]; then
  ensure_display
  prepare_wine_prefix
else
  tessik_setup --target Tessik WindowProbe >/dev/null
fi
TESSIK_EXE="${IDLE_TESSIK_EXE:-$TESSIK_BUILD/Tessik.exe}"

SETTLE_S="${IDLE_SETTLE_S:-20}"
MEASURE_S="${IDLE_MEASURE_S:-10}"
BOXES=10
ICONS="${IDLE_ICONS:-100}"
PROBE_EXE="$TESSIK_BUILD/tests/e2e/WindowProbe.exe"
ROOT="${TMPDIR:-/tmp}/tessik_bench_idle.$$"
BOX_PREFIX="Tessik.Kelm.Com.Container.Class."
RUN_PID=""

finish_bench() {
  if [ -n "$RUN_PID" ]; then kill -9 "$RUN_PID" 2>/dev/null || true; fi
  stop_display
  rm -rf "$ROOT"
}

win_path() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }
store_path() { win_path "$1" | sed 's|\\|\\\\|g'; }
probe() { wine "$PROBE_EXE" "$@" 2>/dev/null | tr -d '\r'; }

# A portable program folder; with "boxes", ten mapping boxes of 100 files.
prepare() {
  local scenario="$1" app="$ROOT/$1/app"
  mkdir -p "$app/.tessik_config" "$ROOT/$1/boxes"
  cp "$TESSIK_EXE" "$app/Tessik.exe"
  printf 'TessikRef{\n    containerDir : "%s",\n    showTessikMain : true\n}\n' \
    "$(store_path "$ROOT/$1/boxes")" > "$app/.tessik_config/Tessik.kelm"
  [ "$scenario" = boxes ] || return 0
  local b i body=""
  for b in $(seq 0 $((BOXES - 1))); do
    local folder="$ROOT/$1/mapped/folder$b"
    mkdir -p "$folder"
    for i in $(seq -w 1 "$ICONS"); do echo "$b $i" > "$folder/file_$i.dat"; done
    [ -n "$body" ] && body+=$',\n'
    body+="    ComID_box$b{
        id : \"box$b\",
        x : $((20 + (b % 5) * 310)),
        y : $((20 + (b / 5) * 480)),
        cx : 300,
        cy : 460,
        title : \"盒子 $b\",
        UseTargetFolder : true,
        IsCustomTarget : true,
        TargetFolder : \"$(store_path "$folder")\"
    }"
  done
  printf 'Components{\n%s\n}\n' "$body" > "$app/.tessik_config/DesktopContainer.kelm"
}

# Clock ticks of user and system time of a process.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# The wineserver of this prefix: its working folder is named after the
# prefix's device and inode.
wineserver_pid() {
  local want p
  want="$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")"
  for p in $(pgrep -u "$(id -u)" wineserver || true); do
    case "$(readlink "/proc/$p/cwd" 2>/dev/null)" in */"$want") echo "$p"; return;; esac
  done
}

# Starts the program of a scenario (trace file given: with the message
# trace) and waits until its windows are up and the fade-in has settled.
start_and_settle() {
  local scenario="$1" trace="${2:-}" app="$ROOT/$1/app"
  if [ -n "$trace" ]; then
    (cd "$app" && WINEDEBUG=-all,+message exec wine "$app/Tessik.exe") >/dev/null 2>"$trace" &
  else
    (cd "$app" && exec wine "$app/Tessik.exe") >/dev/null 2>&1 &
  fi
  RUN_PID=$!
  wine "$PROBE_EXE" wait "Kelm.Class.Tessik.App.Main" "Tessik" visible 60000 >/dev/null 2>&1 \
    || { echo "idle: no main window" >&2; exit 1; }
  if [ "$scenario" = boxes ]; then
    local n=0 tries
    for tries in $(seq 120); do
      n="$(probe list | grep -cF "$BOX_PREFIX" || true)"
      [ "$n" -ge "$BOXES" ] && break
      sleep 0.5
    done
    [ "$n" -ge "$BOXES" ] || { echo "idle: only $n box windows" >&2; exit 1; }
  fi
  sleep "$SETTLE_S"
}

stop_run() {
  kill -9 "$RUN_PID" 2>/dev/null || true
  wait "$RUN_PID" 2>/dev/null || true
  RUN_PID=""
  wineserver -w 2>/dev/null || true
}

declare -A RESULT
measure_cpu() {
  local scenario="$1" hz server a b sa sb
  hz="$(getconf CLK_TCK)"
  start_and_settle "$scenario"
  server="$(wineserver_pid)"
  a="$(cpu_ticks "$RUN_PID")"; sa="$( [ -n "$server" ] && cpu_ticks "$server" || echo 0)"
  sleep "$MEASURE_S"
  b="$(cpu_ticks "$RUN_PID")"; sb="$( [ -n "$server" ] && cpu_ticks "$server" || echo 0)"
  RESULT[$scenario.cpu]="$(awk -v d=$((b - a)) -v hz="$hz" -v s="$MEASURE_S" 'BEGIN{printf "%.2f", 100 * d / hz / s}')"
  RESULT[$scenario.server]="$(awk -v d=$((sb - sa)) -v hz="$hz" -v s="$MEASURE_S" 'BEGIN{printf "%.2f", 100 * d / hz / s}')"
  stop_run
}

measure_messages() {
  local scenario="$1" trace="$ROOT/$1/trace.txt" from to part="$ROOT/$1/part.txt"
  start_and_settle "$scenario" "$trace"
  from="$(stat -c %s "$trace")"
  sleep "$MEASURE_S"
  to="$(stat -c %s "$trace")"
  stop_run
  # Only the program's UI thread: services of the prefix write here too.
  local ui
  ui="$(grep -m1 'L"Tessik" *\[[0-9a-f]*\] [A-Z_]* dispatched' "$trace" | cut -d: -f1)"
  [ -n "$ui" ] || { echo "idle: the message trace shows no dispatch to the main window" >&2; exit 1; }
  tail -c +"$((from + 1))" "$trace" | head -c "$((to - from))" | grep "^$ui:.* dispatched" > "$part" || true
  RESULT[$scenario.timer]="$(grep -c 'WM_TIMER' "$part" || true)"
  RESULT[$scenario.paint]="$(grep -c 'WM_PAINT' "$part" || true)"
  RESULT[$scenario.windows]="$(awk '/WM_TIMER/ {print $2}' "$part" | sort -u | wc -l)"
  RESULT[$scenario.maxwin]="$(awk '/WM_TIMER/ {print $2}' "$part" | sort | uniq -c | sort -rn | awk 'NR==1{print $1}')"
}

for scenario in boxes main; do
  prepare "$scenario"
  measure_cpu "$scenario"
  measure_messages "$scenario"
done

per_s() { awk -v n="${1:-0}" -v s="$MEASURE_S" 'BEGIN{printf "%.1f", n / s}'; }
printf '%-34s %14s %14s\n' "idle ${MEASURE_S} s after ${SETTLE_S} s settling" "$BOXES boxes x $ICONS" "main alone"
printf '%-34s %14s %14s\n' "CPU of Tessik.exe (% of a core)" "${RESULT[boxes.cpu]}" "${RESULT[main.cpu]}"
printf '%-34s %14s %14s\n' "CPU of wineserver (% of a core)" "${RESULT[boxes.server]}" "${RESULT[main.server]}"
printf '%-34s %14s %14s\n' "WM_TIMER dispatched per second" "$(per_s "${RESULT[boxes.timer]}")" "$(per_s "${RESULT[main.timer]}")"
printf '%-34s %14s %14s\n' "WM_PAINT dispatched per second" "$(per_s "${RESULT[boxes.paint]}")" "$(per_s "${RESULT[main.paint]}")"
printf '%-34s %14s %14s\n' "windows that got WM_TIMER" "${RESULT[boxes.windows]}" "${RESULT[main.windows]}"
printf '%-34s %14s %14s\n' "WM_TIMER/s of the busiest window" "$(per_s "${RESULT[boxes.maxwin]:-0}")" "$(per_s "${RESULT[main.maxwin]:-0}")"
