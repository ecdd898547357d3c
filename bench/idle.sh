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
# are not among them; their cost is in the CPU figures. It also prints the
# resident memory of both runs, and how far it lies above that of the
# smallest Direct2D window (bench_bare_window: what the platform costs for
# any window drawn this way).
#
# A third run ("act", three boxes of 12 files) drives what a user does and
# measures each phase the same way (CPU over MEASURE_S seconds, 2 s after
# the action, pointer away): at rest; a box's search row pulled down with
# the wheel; a word typed into the row (the caret blinking); the row left
# with its word for another window (no caret: under 1% wanted); the row
# pushed up again; the icon menu's "路径" input box holding the caret, and closed
# again; the quick panel's search field holding the caret; the panel
# closed; a box made through the component library's "新建组件" card with
# the card closed again. With IDLE_TRACE=1 a second run of it prints the
# WM_TIMER and WM_PAINT messages of each phase by window class and timer.
# Each phase with a caret (the typed row, the "路径" field, the panel's
# field) is set beside a bare Direct2D window of the field's own size that
# draws a line of text and a caret blinking at the system's rate
# (bench_bare_window caret W H), measured the same way after the act run:
# the ratio is what Tessik's caret costs above any program's field.
#
#   bash bench/idle.sh            (IDLE_SETTLE_S=20 IDLE_MEASURE_S=10 by default)
#   IDLE_ICONS=0 bash bench/idle.sh   (empty mapped folders)
#   IDLE_TESSIK_EXE=/some/Tessik.exe bash bench/idle.sh   (another build;
#   nothing is built then, WindowProbe.exe must exist)
#   IDLE_SCENARIOS="" IDLE_TRACE=1 bash bench/idle.sh   (only the act run,
#   with its message trace; IDLE_ACT=0 leaves the act run out)
#   IDLE_SCREEN=1920x1080 bash bench/idle.sh   (on an Xvfb display of that
#   size of its own; otherwise the display given, or the scripts' default)
#
# Every click is placed from the windows found on the screen (WindowProbe
# lists them from inside the prefix) and made only after WindowProbe says
# the window under the point is the one meant: a click that would miss
# ends the run with a message instead of measuring the wrong thing.
set -euo pipefail
# A prefix of the benchmark's own: never run.sh's, where the user's own
# Tessik may live.
export WINEPREFIX_TESSIK="${WINEPREFIX_TESSIK:-${TESSIK_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}/wineprefix.idlebench}"
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
source "$(dirname "${BASH_SOURCE[0]}")/seed.sh"
trap 'finish_bench' EXIT
OWN_XVFB_PID=""
if [ -n "${IDLE_SCREEN:-}" ]; then
  number_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "${IDLE_SCREEN}x24" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  OWN_XVFB_PID=$!
  for _ in $(seq 300); do
    [ -s "$number_file" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(tr -d '\n' <"$number_file")"
  rm -f "$number_file"
fi
if [ -n "${IDLE_TESSIK_EXE:-}" ]; then
  ensure_display
  prepare_wine_prefix
else
  tessik_setup --target Tessik WindowProbe bench_bare_window >/dev/null
fi
TESSIK_EXE="${IDLE_TESSIK_EXE:-$TESSIK_BUILD/Tessik.exe}"

SETTLE_S="${IDLE_SETTLE_S:-20}"
MEASURE_S="${IDLE_MEASURE_S:-10}"
BOXES=10
ICONS="${IDLE_ICONS:-100}"
PROBE_EXE="$TESSIK_BUILD/tests/e2e/WindowProbe.exe"
BARE_EXE="$TESSIK_BUILD/bench/bench_bare_window.exe"
ROOT="${TMPDIR:-/tmp}/tessik_bench_idle.$$"
BOX_PREFIX="Tessik.Kelm.Com.Container.Class."
RUN_PID=""

finish_bench() {
  if [ -n "$RUN_PID" ]; then kill -9 "$RUN_PID" 2>/dev/null || true; fi
  stop_display
  if [ -n "$OWN_XVFB_PID" ]; then kill "$OWN_XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$ROOT"
}

read -r SCREEN_W SCREEN_H <<<"$(xdotool getdisplaygeometry)"

probe() { bench_probe "$PROBE_EXE" "$@"; }
# No figure is taken while the program shows a message box.
no_notice() { refuse_with_notice "$1" bench_probe "$PROBE_EXE"; }

# A portable program folder with its four stores; with "boxes", ten
# folder boxes of 100 files, with "act" three of 12.
prepare() {
  local scenario="$1" app="$ROOT/$1/app" body="" b i
  mkdir -p "$app"
  cp "$TESSIK_EXE" "$app/Tessik.exe"
  if [ "$scenario" = boxes ]; then
    body="$(seed_idle_boxes "$ROOT/$1/mapped" "$BOXES" "$ICONS")"
  elif [ "$scenario" = act ]; then
    # At the right edge of the screen, one under another; the act run
    # moves the main window to the left edge, clear of them.
    local bh=$(((SCREEN_H - 40) / 3 - 10))
    [ "$bh" -gt 320 ] && bh=320
    for b in 0 1 2; do
      local folder="$ROOT/$1/mapped/folder$b"
      mkdir -p "$folder"
      for i in $(seq -w 1 12); do echo "$b $i" >"$folder/file_$i.dat"; done
      [ -n "$body" ] && body+=$',\n'
      body+="$(seed_box_member "box$b" $((SCREEN_W - 360)) $((10 + b * (bh + 10))) 330 "$bh" "盒子 $b" "$folder")"
    done
  fi
  seed_data_folder "$app/.tessik_config" "$ROOT/$1/boxes" "$body" false "showTessikMain : true"
}

# Resident memory of a process in MB.
rss_mb() { awk '/^VmRSS:/ {printf "%.0f", $2 / 1024}' "/proc/$1/status" 2>/dev/null || echo 0; }



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
  if [ "$scenario" != main ]; then
    local n=0 tries want=$BOXES
    [ "$scenario" = act ] && want=3
    for tries in $(seq 120); do
      n="$(probe list | grep -cF "$BOX_PREFIX" || true)"
      [ "$n" -ge "$want" ] && break
      sleep 0.5
    done
    [ "$n" -ge "$want" ] || { echo "idle: only $n box windows" >&2; exit 1; }
  fi
  sleep "$SETTLE_S"
  no_notice "the $scenario run"
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
  no_notice "CPU of the $scenario run"
  RESULT[$scenario.cpu]="$(awk -v d=$((b - a)) -v hz="$hz" -v s="$MEASURE_S" 'BEGIN{printf "%.2f", 100 * d / hz / s}')"
  RESULT[$scenario.server]="$(awk -v d=$((sb - sa)) -v hz="$hz" -v s="$MEASURE_S" 'BEGIN{printf "%.2f", 100 * d / hz / s}')"
  RESULT[$scenario.rss]="$(rss_mb "$RUN_PID")"
  stop_run
}

measure_messages() {
  local scenario="$1" trace="$ROOT/$1/trace.txt" from to part="$ROOT/$1/part.txt"
  start_and_settle "$scenario" "$trace"
  from="$(stat -c %s "$trace")"
  sleep "$MEASURE_S"
  to="$(stat -c %s "$trace")"
  no_notice "messages of the $scenario run"
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

# ---- the "act" run: phases driven with xdotool over the display ----
MAIN_CLASS="Kelm.Class.Tessik.App.Main"
PANEL_CLASS="Tessik.Kelm.QuickPanel.Class"
AWAY=($((SCREEN_W - 5)) $((SCREEN_H - 5)))
PHASES=()
declare -A PHASE
# The phase hook: cpu (measure CPU) or trace (mark the trace).
PHASE_MODE=cpu
TRACE_FILE=""

away() { xdotool mousemove "${AWAY[@]}"; }
# Screen rectangle "x y w h" of the first window of a class (prefix with *).
rect_of() { probe wait "$1" "$2" visible 20000 | awk -F'\t' '{print $5}' | tr ',' ' '; }
# Clicks (button 1, or the one given) at a screen point once the window
# there is of the class meant (a prefix): a click that would land on
# another window ends the run.
click_on() {
  local want="$1" x="$2" y="$3" button="${4:-1}" found
  found="$(probe at "$x" "$y" | awk -F'\t' '{print $1}')"
  case "$found" in
    "$want"*) ;;
    *) echo "idle: a click at $x,$y meant for $want would land on ${found:-no window}" >&2; exit 1;;
  esac
  xdotool mousemove "$x" "$y" click "$button"
  sleep 0.3
}

phase() {
  local name="$1" hz a b
  away
  sleep 2
  [ ${#PHASES[@]} -lt 20 ] && [[ " ${PHASES[*]} " != *" $name "* ]] && PHASES+=("$name")
  if [ "$PHASE_MODE" = trace ]; then
    PHASE[$name.from]="$(stat -c %s "$TRACE_FILE")"
    sleep "$MEASURE_S"
    PHASE[$name.to]="$(stat -c %s "$TRACE_FILE")"
    no_notice "phase $name"
    return
  fi
  hz="$(getconf CLK_TCK)"
  a="$(cpu_ticks "$RUN_PID")"
  sleep "$MEASURE_S"
  b="$(cpu_ticks "$RUN_PID")"
  no_notice "phase $name"
  PHASE[$name.cpu]="$(awk -v d=$((b - a)) -v hz="$hz" -v s="$MEASURE_S" 'BEGIN{printf "%.1f", 100 * d / hz / s}')"
  PHASE[$name.rss]="$(rss_mb "$RUN_PID")"
}

# The first of the points "x y" (arguments) where a click reaches a window
# of the class; none: the run ends.
free_point() {
  local want="$1" found
  shift
  while [ $# -ge 2 ]; do
    found="$(probe at "$1" "$2" | awk -F'\t' '{print $1}')"
    case "$found" in "$want"*) echo "$1 $2"; return;; esac
    shift 2
  done
  echo "idle: no point of $want is free to click" >&2
  exit 1
}

# Screen rectangles "x y w h" of the box windows, top one first.
box_rects() {
  probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '{print $5}' | tr ',' ' ' | sort -k2 -n
}

drive_phases() {
  local bx by bw bh ox oy ow oh px py pw ph mx my mw mh
  # The main window to the left edge, clear of the boxes at the right.
  probe move "$MAIN_CLASS" "Tessik" 10 10 >/dev/null
  # Box 0 is the top one; box 1 below it takes the keyboard from it.
  read -r bx by bw bh <<<"$(box_rects | sed -n 1p)"
  read -r ox oy ow oh <<<"$(box_rects | sed -n 2p)"
  phase rest
  # The wheel reaches the window with the keyboard (Wine): click first,
  # on the box's empty lower part.
  click_on "$BOX_PREFIX" $((bx + bw / 2)) $((by + bh - 30))
  xdotool click 4 click 4 click 4 click 4
  phase search_row_open
  click_on "$BOX_PREFIX" $((bx + bw / 2)) $((by + 72))
  xdotool type --delay 80 note
  # The search row's field: the box's width less 20 on each side, 35 high.
  PHASE[typed_note.size]="$((bw - 40)) 35"
  phase typed_note
  # Another window takes the keyboard; the row keeps its word.
  click_on "$BOX_PREFIX" $((ox + ow / 2)) $((oy + oh - 15))
  phase field_left_with_text
  click_on "$BOX_PREFIX" $((bx + bw / 2)) $((by + 72))
  # The wheel moves the row only while the field is empty.
  xdotool key ctrl+a BackSpace
  xdotool mousemove $((bx + bw / 2)) $((by + bh - 30))
  xdotool click 5 click 5 click 5 click 5
  sleep 3
  phase search_row_closed
  # The icon menu's "路径" opens the input box with the icon's path, its
  # field holding the caret. Rows 40 DIPs apart, 10 above the first: 别名,
  # 复制|剪切, 打开方式, 重命名, 路径.
  click_on "$BOX_PREFIX" $((bx + 60)) $((by + 90)) 3
  read -r mx my mw mh <<<"$(rect_of "Kelm.Menu.Class.0*" "Kelm.Menu")"
  click_on "Kelm.Menu.Class.0" $((mx + 60)) $((my + 30 + 4 * 40))
  read -r mx my mw mh <<<"$(rect_of "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit")"
  # The field of the input box: its width less 28 on each side, 32 high.
  PHASE[path_popup_field.size]="$((mw - 56)) 32"
  phase path_popup_field
  click_on "Kelm.concept.Edit.Class" $((mx + mw - 154)) $((my + mh - 40)) # "取消"
  probe gone "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit" 10000 >/dev/null || true
  phase path_popup_closed
  probe post "$MAIN_CLASS" "Tessik" 786 1001 0 >/dev/null
  read -r px py pw ph <<<"$(rect_of "$PANEL_CLASS" "Tessik.QuickPanel")"
  sleep 2
  click_on "$PANEL_CLASS" $((px + pw / 2)) $((py + 30))
  xdotool type --delay 80 ab
  # The panel's search field: right of the 200 wide list, 110 short of
  # the panel's edge, 30 high.
  PHASE[quick_panel_field.size]="$((pw - 310)) 30"
  phase quick_panel_field
  probe post "$MAIN_CLASS" "Tessik" 786 1001 0 >/dev/null
  probe gone "$PANEL_CLASS" "Tessik.QuickPanel" 10000 >/dev/null || true
  phase quick_panel_closed
  read -r mx my mw mh <<<"$(rect_of "$MAIN_CLASS" "Tessik")"
  probe settled "$MAIN_CLASS" "Tessik" 40000 >/dev/null || true
  click_on "$MAIN_CLASS" $((mx + 100)) $((my + 130))  # the library tab
  sleep 1
  click_on "$MAIN_CLASS" $((mx + 460)) $((my + 200))  # "万能收纳盒": the new-box card
  sleep 1.5
  click_on "$MAIN_CLASS" $((mx + 570)) $((my + 230))  # its mapping-box row
  sleep 1.5
  # An empty spot closes the card; the new box may stand over some of them.
  read -r px py <<<"$(free_point "$MAIN_CLASS" $((mx + 1000)) $((my + 650)) $((mx + 600)) $((my + 650)) \
    $((mx + 1000)) $((my + 400)) $((mx + 600)) $((my + 400)))"
  click_on "$MAIN_CLASS" "$px" "$py"
  phase card_made_box
}

# CPU of the bare caret window of each phase's field size, measured like
# the phase (2 s after it is shown, over MEASURE_S).
measure_bare_carets() {
  local name w h hz a b
  hz="$(getconf CLK_TCK)"
  for name in "${PHASES[@]}"; do
    [ -n "${PHASE[$name.size]:-}" ] || continue
    read -r w h <<<"${PHASE[$name.size]}"
    wine "$BARE_EXE" caret "$w" "$h" >/dev/null 2>&1 &
    RUN_PID=$!
    wine "$PROBE_EXE" wait "BareDirect2DWindow" "bare" visible 60000 >/dev/null 2>&1 \
      || { echo "idle: the bare caret window did not open" >&2; exit 1; }
    away
    sleep 2
    a="$(cpu_ticks "$RUN_PID")"
    sleep "$MEASURE_S"
    b="$(cpu_ticks "$RUN_PID")"
    PHASE[$name.bare]="$(awk -v d=$((b - a)) -v hz="$hz" -v s="$MEASURE_S" 'BEGIN{printf "%.1f", 100 * d / hz / s}')"
    stop_run
  done
}

measure_act() {
  start_and_settle act
  drive_phases
  stop_run
  measure_bare_carets
  if [ "${IDLE_TRACE:-0}" = 1 ]; then
    prepare_fresh act
    TRACE_FILE="$ROOT/act/trace.txt"
    PHASE_MODE=trace
    start_and_settle act "$TRACE_FILE"
    drive_phases
    stop_run
    PHASE_MODE=cpu
  fi
}

# A fresh copy of a scenario's folders (the act run changed its stores).
prepare_fresh() { rm -rf "${ROOT:?}/$1"; prepare "$1"; }

# WM_TIMER and WM_PAINT of one phase of the trace by window class and timer.
trace_phase() {
  local name="$1" ui
  ui="$(grep -m1 'L"Tessik" *\[[0-9a-f]*\] [A-Z_]* dispatched' "$TRACE_FILE" | cut -d: -f1)"
  tail -c +"$((PHASE[$name.from] + 1))" "$TRACE_FILE" | head -c "$((PHASE[$name.to] - PHASE[$name.from]))" |
    grep "^$ui:.* dispatched" | grep -E 'WM_TIMER|WM_PAINT' |
    sed -E 's/.*\(([0-9a-fx]+)\) (L"[^"]*")? *\[[0-9a-f]+\] (WM_[A-Z]+) dispatched +wp=([0-9a-f]+).*/\1 \2 \3 \4/' |
    sort | uniq -c | sort -rn | awk 'NR <= 8' || true
}

# Resident memory of the bare Direct2D window once it has painted.
measure_bare() {
  wine "$BARE_EXE" >/dev/null 2>&1 &
  RUN_PID=$!
  wine "$PROBE_EXE" wait "BareDirect2DWindow" "bare" visible 60000 >/dev/null 2>&1 \
    || { echo "idle: the bare window did not open" >&2; exit 1; }
  sleep 5
  RESULT[bare.rss]="$(rss_mb "$RUN_PID")"
  stop_run
}

for scenario in ${IDLE_SCENARIOS-boxes main}; do
  prepare "$scenario"
  measure_cpu "$scenario"
  measure_messages "$scenario"
done
if [ "${IDLE_ACT:-1}" = 1 ]; then
  prepare act
  measure_act
fi

if [ -n "${RESULT[boxes.cpu]:-}" ] && [ -n "${RESULT[main.cpu]:-}" ]; then
per_s() { awk -v n="${1:-0}" -v s="$MEASURE_S" 'BEGIN{printf "%.1f", n / s}'; }
printf '%-34s %14s %14s\n' "idle ${MEASURE_S} s after ${SETTLE_S} s settling" "$BOXES boxes x $ICONS" "main alone"
printf '%-34s %14s %14s\n' "CPU of Tessik.exe (% of a core)" "${RESULT[boxes.cpu]}" "${RESULT[main.cpu]}"
printf '%-34s %14s %14s\n' "CPU of wineserver (% of a core)" "${RESULT[boxes.server]}" "${RESULT[main.server]}"
printf '%-34s %14s %14s\n' "WM_TIMER dispatched per second" "$(per_s "${RESULT[boxes.timer]}")" "$(per_s "${RESULT[main.timer]}")"
printf '%-34s %14s %14s\n' "WM_PAINT dispatched per second" "$(per_s "${RESULT[boxes.paint]}")" "$(per_s "${RESULT[main.paint]}")"
printf '%-34s %14s %14s\n' "windows that got WM_TIMER" "${RESULT[boxes.windows]}" "${RESULT[main.windows]}"
printf '%-34s %14s %14s\n' "WM_TIMER/s of the busiest window" "$(per_s "${RESULT[boxes.maxwin]:-0}")" "$(per_s "${RESULT[main.maxwin]:-0}")"
printf '%-34s %14s %14s\n' "resident memory (MB)" "${RESULT[boxes.rss]}" "${RESULT[main.rss]}"
measure_bare
printf '%-34s %14s %14s\n' "  above a bare Direct2D window" "$((RESULT[boxes.rss] - RESULT[bare.rss]))" \
  "$((RESULT[main.rss] - RESULT[bare.rss]))"
printf '%-34s %14s\n' "  (the bare window itself)" "${RESULT[bare.rss]}"
fi
[ "${IDLE_ACT:-1}" = 1 ] || exit 0
echo
printf '%-34s %14s %10s %16s %8s\n' "3 boxes, phase (pointer away)" "CPU % of core" "RSS MB" "bare caret CPU %" "ratio"
for name in "${PHASES[@]}"; do
  bare="${PHASE[$name.bare]:-}"
  ratio=""
  [ -n "$bare" ] && ratio="$(awk -v t="${PHASE[$name.cpu]}" -v b="$bare" 'BEGIN{ if (b > 0) printf "%.1f", t / b; else print "-" }')"
  printf '%-34s %14s %10s %16s %8s\n' "$name" "${PHASE[$name.cpu]}" "${PHASE[$name.rss]}" "$bare" "$ratio"
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "${IDLE_TRACE:-0}" = 1 ]; then
  for name in "${PHASES[@]}"; do
    echo "-- $name: messages in ${MEASURE_S} s (count, window, class, message, wParam)"
    trace_phase "$name"
  done
fi
