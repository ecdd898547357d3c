# The UI thread's watcher of the benchmarks that drive the real program
# (bench_drop_watch, from another process): sourced after
# tests/e2e/lib.sh, which gives WORK, BOX_PREFIX, runs and fail.
#
# start_watch: starts it and waits until it has been answered once (its
# own start under Wine is not counted). Touching "$WORK/landing" later
# marks where the second span begins.
# stop_watch: stops it and reads, in ms, WATCH_LONGEST (the longest wait
# for an answer), WATCH_MARKED (the longest since the mark) and
# WATCH_ANSWERS.
WATCH_EXE="$TESSIK_BUILD/bench/bench_drop_watch.exe"

start_watch() {
  WATCH_OUT="$WORK/watch.txt"
  (cd "$WORK" && wine "$WATCH_EXE" "$BOX_PREFIX" ready landing stop >"$WATCH_OUT" 2>&1) &
  WATCH_PID=$!
  for _ in $(seq 3000); do
    [ -e "$WORK/ready" ] && return 0
    runs "$WATCH_PID" || fail "the watcher ended: $(cat "$WATCH_OUT")"
    sleep 0.01
  done
  fail "the watcher did not start"
}

stop_watch() {
  touch "$WORK/stop"
  wait "$WATCH_PID" || fail "the watcher failed: $(cat "$WATCH_OUT")"
  read -r WATCH_LONGEST WATCH_MARKED WATCH_ANSWERS < <(tr -d '\r' <"$WATCH_OUT")
}
