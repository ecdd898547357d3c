#!/usr/bin/env bash
# A real drop of many small files onto a normal box: Tessik.exe in a
# portable data folder of its own (the four stores seeded in the program's
# own form, one box whose folder lies in the box root), DropSource.exe
# dropping the files from another process, timed from the drop source's
# start until every file stands in the box's folder and its source is
# empty. Beside it, the system's own move of the same number of files on
# the same volume (bench_plain_move: MoveFileExW of each, timed inside
# the program). Each run prints both and their ratio; a run during which
# the program showed a message box gives no figure.
#
#   bash bench/drop.sh                 (DROP_RUNS=3 DROP_FILES=1000)
#   DROP_TESSIK_EXE=/some/Tessik.exe bash bench/drop.sh   (another build;
#   nothing is built then, the probes and bench_plain_move must exist)
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RUNS="${DROP_RUNS:-3}"
FILES="${DROP_FILES:-1000}"

if [ "${1:-}" != "--run" ]; then
  source "$HERE/../scripts/setup.sh"
  trap 'stop_display' EXIT
  if [ -z "${DROP_TESSIK_EXE:-}" ]; then
    tessik_setup --target Tessik WindowProbe DropSource bench_plain_move >/dev/null
  else
    ensure_display
    prepare_wine_prefix
  fi
  exe="${DROP_TESSIK_EXE:-$TESSIK_BUILD/Tessik.exe}"
  for run in $(seq "$RUNS"); do
    # Short paths: a thousand of them go on the drop source's command line.
    bash "$0" --run "$exe" "$TESSIK_BUILD/tests/e2e/WindowProbe.exe" "/tmp/tdb$$" "$run"
  done
  rm -rf "/tmp/tdb$$"
  exit 0
fi

shift
RUN="$4"
source "$HERE/../tests/e2e/lib.sh" "$1" "$2" "$3"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"
PLAIN_EXE="$TESSIK_BUILD/bench/bench_plain_move.exe"

BOX_FOLDER="$WORK/boxes/root/d4444"
mkdir -p "$BOX_FOLDER" "$WORK/s" "$WORK/p" "$WORK/q"
make_files() {
  local i
  for i in $(seq -w 1 "$FILES"); do
    head -c 512 /dev/zero >"$1/f$i"
  done
}
make_files "$WORK/s"
make_files "$WORK/p"

plain=$(wine "$PLAIN_EXE" "$(win_path "$WORK/p")" "$(win_path "$WORK/q")" 2>/dev/null | tr -d '\r') ||
  fail "the system's move did not move every file: $plain"
plain_s=${plain#* }

seed_app_store "containerDir : \"$(store_path "$WORK/boxes/root")\"" "showTessikMain : false"
seed_folder_box d4444 "Drop bench" "$BOX_FOLDER"
start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "a message box is open before the drop: no figure"

paths=()
for f in "$WORK"/s/*; do
  paths+=("$(win_path "$f")")
done
started=$(date +%s%N)
# The drop source waits for the box's answer, which comes after the job:
# the folder is watched meanwhile.
wine "$DROP_EXE" $((bx + bw / 2)) $((by + bh / 2)) "${paths[@]}" >/dev/null 2>&1 &
source_pid=$!
arrived=0
first=""
for _ in $(seq 6000); do
  arrived=$(find "$BOX_FOLDER" -maxdepth 1 -type f ! -name '*.tessik-part' | wc -l)
  [ -z "$first" ] && [ "$arrived" -gt 0 ] && first=$(date +%s%N)
  [ "$arrived" = "$FILES" ] && [ -z "$(ls -A "$WORK/s")" ] && break
  sleep 0.01
done
ended=$(date +%s%N)
wait "$source_pid" || fail "the drop did not happen"
[ "$arrived" = "$FILES" ] || fail "$arrived of $FILES files arrived"
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "the program showed a message box during the drop: no figure"
drop_s=$(awk -v ns=$((ended - started)) 'BEGIN {printf "%.3f", ns / 1e9}')
# Until the first file arrived: the drop source's start, the drop itself,
# the box's deferred import and the job's start.
first_s=$(awk -v ns=$((first - started)) 'BEGIN {printf "%.3f", ns / 1e9}')
awk -v r="$RUN" -v n="$FILES" -v d="$drop_s" -v f="$first_s" -v p="$plain_s" \
  'BEGIN {printf "run %s: drop of %d files onto a normal box %.3f s (first file after %.3f s), system move %.3f s, %.1fx\n", r, n, d, f, p, d / p}'

quit_from_tray
wait_exit "$pid"
