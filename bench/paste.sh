#!/usr/bin/env bash
# Ctrl+V of many files whose names the box's folder already holds: Tessik.exe
# in a portable data folder of its own (one box whose folder holds
# PASTE_FILES files), the same names put on the clipboard by another
# process, the real keys pressed in the box, the same-name question
# answered "创建副本" as a user does. Timed from the key press until every
# numbered copy stands in the box's folder and the box's picture rests.
# Meanwhile bench_drop_watch sends the box window a message every few
# milliseconds and keeps the longest wait for an answer: the UI thread's
# longest busy stretch. A run during which the program showed a message
# box gives no figure.
#
#   bash bench/paste.sh                 (PASTE_RUNS=3 PASTE_FILES=700)
#   PASTE_TESSIK_EXE=/some/Tessik.exe bash bench/paste.sh   (another build;
#   nothing is built then, the probes and the bench programs must exist)
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RUNS="${PASTE_RUNS:-3}"
FILES="${PASTE_FILES:-700}"

source "$HERE/lane.sh"
if [ "${1:-}" != "--run" ]; then
  bench_outside "${PASTE_TESSIK_EXE:-}" Tessik WindowProbe ClipboardProbe bench_drop_watch
  exe="${PASTE_TESSIK_EXE:-$TESSIK_BUILD/Tessik.exe}"
  for run in $(seq "$RUNS"); do
    bash "$0" --run "$exe" "$TESSIK_BUILD/tests/e2e/WindowProbe.exe" "/tmp/tpb$$" "$run"
  done
  rm -rf "/tmp/tpb$$"
  exit 0
fi

shift
bench_inside
RUN="$4"
source "$HERE/../tests/e2e/lib.sh" "$1" "$2" "$3"
CLIP_EXE="$(dirname "$PROBE_EXE")/ClipboardProbe.exe"
source "$HERE/watch.sh"

BOX_FOLDER="$WORK/boxes/root/p6666"
mkdir -p "$BOX_FOLDER" "$WORK/s"
for i in $(seq -w 1 "$FILES"); do
  head -c 512 /dev/zero >"$WORK/s/f$i.txt"
  head -c 256 /dev/zero >"$BOX_FOLDER/f$i.txt"
done

seed_app_store "containerDir : \"$(store_path "$WORK/boxes/root")\"" "showTessikMain : false"
seed_folder_box p6666 "Paste bench" "$BOX_FOLDER"
start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "a message box is open before the paste: no figure"
(cd "$WORK/s" && wine "$CLIP_EXE" put-files f*.txt >/dev/null 2>&1) || fail "could not fill the clipboard"

start_watch

# The box takes the keyboard by a click on its empty lower part; under
# Wine a key counts only while a paint sees it held.
xdotool mousemove $((bx + bw / 2)) $((by + bh - 60)) click 1
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
touch "$WORK/landing"
started=$(date +%s%N)
xdotool keydown ctrl keydown v
popup_class="Kelm.concept.PopupSel.Class" popup_title="Kelm.Test.concept.PopupSel"
probe wait "$popup_class" "$popup_title" visible 60000 >/dev/null || fail "no same-name question"
asked=$(date +%s%N)
xdotool keyup v keyup ctrl
wait_still "$popup_class" "$popup_title"
IFS=, read -r _ _ pw ph < <(probe list | awk -F'\t' -v c="$popup_class" '$1 == c {print $5; exit}')
answered=$(date +%s%N)
probe click "$popup_class" "$popup_title" $((pw - 60)) $((ph - 40)) >/dev/null 2>&1 &
arrived=0
for _ in $(seq 12000); do
  arrived=$(find "$BOX_FOLDER" -maxdepth 1 -type f -name '* (1).txt' | wc -l)
  [ "$arrived" = "$FILES" ] && break
  sleep 0.01
done
landed=$(date +%s%N)
[ "$arrived" = "$FILES" ] || fail "$arrived of $FILES copies arrived"
picture_rests "$bx" "$by" "$bw" "$bh"
still_at=$RESTED_AT
stop_watch
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "the program showed a message box during the paste: no figure"
s() { awk -v ns=$(($1 - $2)) 'BEGIN {printf "%.3f", ns / 1e9}'; }
echo "run $RUN, $FILES taken names: question after $(s "$asked" "$started") s, copies in place $(s "$landed" "$answered") s after the answer, box at rest $(s "$still_at" "$answered") s after it; UI thread longest wait $WATCH_LONGEST ms ($WATCH_ANSWERS answers); load $(cut -d' ' -f1-3 /proc/loadavg)"
quit_from_tray
wait_exit "$pid"
