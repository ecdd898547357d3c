# The UI thread's watcher of the benchmarks that drive the real program
# (bench_drop_watch, from another process, with its hook in the program):
# sourced after tests/e2e/lib.sh, which gives WORK, BOX_PREFIX, runs and
# fail.
#
# start_watch [window class prefix [x y]]: starts it on the first window of
# the class (a box by default), its pointer moves at x y of the window (by
# default in a box's title band, left of its buttons, where a move shows
# nothing), and waits until its first round has ended (its own start under
# Wine is not counted).
# watch_phase <words>: what the user is doing from now on; each wait over
# 50 ms is logged with it.
# watch_hands_off / watch_hands_on: the pointer is the benchmark's (a
# click, a drag) / the watcher's again.
# watch_mark: where the second span of the longest wait begins.
# watch_answered: waits (bounded) until a round begun now has ended: the
# thread took a posted message and the pointer's move; ANSWERED_AT is then
# its end (ns since 1970).
# stop_watch: stops it and reads, in ms, WATCH_LONGEST (the longest wait),
# WATCH_MARKED (the longest since the mark) and WATCH_ROUNDS; WATCH_WAITS
# is each phase's waits over 50 ms: "phase: count, longest ms; ...".
WATCH_EXE="$TESSIK_BUILD/bench/bench_drop_watch.exe"

start_watch() {
  WATCH_DIR="$WORK/watch"
  rm -rf "$WATCH_DIR"
  mkdir -p "$WATCH_DIR"
  echo "at rest" >"$WATCH_DIR/phase"
  (cd "$WORK" && wine "$WATCH_EXE" "${1:-$BOX_PREFIX}" "$(win_path "$WATCH_DIR")" "${2:-40}" "${3:-20}" >"$WATCH_DIR/out.txt" 2>&1) &
  WATCH_PID=$!
  for _ in $(seq 12000); do
    [ -e "$WATCH_DIR/ready" ] && return 0
    runs "$WATCH_PID" || fail "the watcher ended: $(cat "$WATCH_DIR/out.txt")"
    sleep 0.01
  done
  fail "the watcher did not start"
}

watch_phase() { echo "$*" >"$WATCH_DIR/phase.new" && mv "$WATCH_DIR/phase.new" "$WATCH_DIR/phase"; }
watch_hands_off() { touch "$WATCH_DIR/hands-off"; }
watch_hands_on() { rm -f "$WATCH_DIR/hands-off"; }
watch_mark() { touch "$WATCH_DIR/mark"; }

watch_answered() {
  local deadline=$(($(date +%s) + 300))
  touch "$WATCH_DIR/ask"
  while [ "$(date +%s)" -lt "$deadline" ]; do
    if [ -s "$WATCH_DIR/answered" ]; then
      ANSWERED_AT=$(tr -d '\r\n' <"$WATCH_DIR/answered")
      return 0
    fi
    runs "$WATCH_PID" || fail "the watcher ended: $(cat "$WATCH_DIR/out.txt"); windows: $(probe list)"
    sleep 0.01
  done
  fail "the window did not answer within 300 s"
}

stop_watch() {
  touch "$WATCH_DIR/stop"
  wait "$WATCH_PID" || fail "the watcher failed: $(cat "$WATCH_DIR/out.txt")"
  read -r WATCH_LONGEST WATCH_MARKED WATCH_ROUNDS < <(tr -d '\r' <"$WATCH_DIR/out.txt")
  WATCH_WAITS=$(awk '{ms = $2; $1 = ""; $2 = ""; sub(/^  /, ""); n[$0]++; if (ms > top[$0]) top[$0] = ms; if (!($0 in order)) order[$0] = ++k}
    END {for (p in order) line[order[p]] = p ": " n[p] " over 50 ms, longest " top[p] " ms"; for (i = 1; i <= k; i++) printf "%s%s", (i > 1 ? "; " : ""), line[i]}' \
    "$WATCH_DIR/waits.txt" 2>/dev/null || true)
  [ -n "$WATCH_WAITS" ] || WATCH_WAITS="no wait over 50 ms"
}
