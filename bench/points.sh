# The yardstick and the printing of the benchmarks that time points of an
# operation of the real program (drop.sh, paste.sh, remove.sh); sourced.
#
# plain_op [--delete|--recycle] <folder> [<to folder>]: the system's own
# move (delete, recycle) of every file of a folder (bench_plain_move),
# timed from that program's start as the operation is timed from its own
# program's start; PLAIN_S is that time, PLAIN_INSIDE the time inside the
# program, PLAIN_WHAT the operation.
# report_points <what> <run> <size> <start ns> (<point> <ns or ->)...:
# prints each point after the start, and its ratio to PLAIN_S, with the
# watcher's figures (stop_watch) and the load; keeps the last point for
# bench_summary in the results file $RESULTS.
# bench_summary <results file>: the median of each benchmark's runs.

plain_op() {
  local out t0 t1 args=() arg
  PLAIN_WHAT=move
  for arg in "$@"; do
    case "$arg" in --*) PLAIN_WHAT=${arg#--} ;; esac
    case "$arg" in -*) args+=("$arg") ;; *) args+=("$(win_path "$arg")") ;; esac
  done
  t0=$(date +%s%N)
  out=$(wine "$TESSIK_BUILD/bench/bench_plain_move.exe" "${args[@]}" 2>/dev/null | tr -d '\r') ||
    fail "the system's operation did not take every file: $out"
  t1=$(date +%s%N)
  PLAIN_S=$(awk -v ns=$((t1 - t0)) 'BEGIN {printf "%.3f", ns / 1e9}')
  PLAIN_INSIDE=${out#* }
}

report_points() {
  local what="$1" run="$2" size="$3" start="$4" line="" name at s last="" load
  shift 4
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  while [ $# -ge 2 ]; do
    name="$1" at="$2"
    shift 2
    if [ "$at" = - ]; then
      line+="; $name -"
      continue
    fi
    s=$(awk -v ns=$((at - start)) 'BEGIN {printf "%.3f", ns / 1e9}')
    line+="; $name $s s $(awk -v s="$s" -v p="$PLAIN_S" 'BEGIN {printf "%.1f", s / p}')x"
    last="$s"
  done
  echo "$what, run $run, $size: ${line#; }; system's $PLAIN_WHAT $PLAIN_S s from its start ($PLAIN_INSIDE s inside);" \
    "UI thread longest wait $WATCH_LONGEST ms, $WATCH_MARKED ms once under way ($WATCH_ROUNDS rounds);" \
    "waits: $WATCH_WAITS; load $load"
  [ -z "${RESULTS:-}" ] || printf '%s|%s|%s|%s|%s|%s\n' "$what" "$size" "$last" "$PLAIN_S" "$WATCH_LONGEST" \
    "${load%% *}" >>"$RESULTS"
}

bench_summary() {
  [ -s "$1" ] || return 0
  echo "medians (last point, its ratio to the system's operation, longest wait):"
  awk -F'|' '
    { key = $1 " " $2; if (!(key in n)) order[++k] = key
      n[key]++; s[key, n[key]] = $3; r[key, n[key]] = $3 / $4; w[key, n[key]] = $5; l[key] = l[key] " " $6 }
    function median(a, key, count,   i, j, t, v) {
      for (i = 1; i <= count; i++) v[i] = a[key, i]
      for (i = 1; i <= count; i++) for (j = i + 1; j <= count; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
      return count % 2 ? v[(count + 1) / 2] : (v[count / 2] + v[count / 2 + 1]) / 2
    }
    END { for (i = 1; i <= k; i++) { key = order[i]
      printf "  %s: %.3f s, %.1fx, longest wait %d ms (%d runs, load%s)\n", key, median(s, key, n[key]),
        median(r, key, n[key]), median(w, key, n[key]), n[key], l[key] } }' "$1"
}

# seed_icons <box folder> <origin folder> <name prefix> <count>: the box's
# "Icons" records as drops leave them (store text, indented for a box
# object): <prefix>0001... in the box's folder, each come from the origin.
seed_icons() {
  # Through the environment: awk -v would halve the doubled backslashes.
  SEED_BOX="$(store_path "$1")" SEED_ORIGIN="$(store_path "$2")" awk -v name="$3" -v n="$4" 'BEGIN {
    box = ENVIRON["SEED_BOX"]; origin = ENVIRON["SEED_ORIGIN"]
    width = length(n "")
    for (i = 1; i <= n; i++) {
      f = sprintf("%s%0" width "d", name, i)
      printf "            iconID_%d{\n                path : \"%s\\\\%s\",\n", i - 1, box, f
      printf "                alias : \"bvn!NULL\",\n                originalPath : \"%s\\\\%s\"\n            }%s\n", origin, f, i < n ? "," : ""
    }
  }'
}
