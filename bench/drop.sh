#!/usr/bin/env bash
# A real drop of many small files onto a normal box: Tessik.exe in a
# portable data folder of its own (the four stores seeded in the program's
# own form, one box whose folder lies in the box root), DropSource.exe
# dropping the files from another process. Timed from the drop source's
# start (and, printed beside it, from the moment the source lets the drop
# go) until every file stands in the box's folder and its source is
# empty ("landed"), and until the box shows them: its store holds a record
# of every file, its picture has not changed for 0.3 s and it answers a
# message ("shown"; the progress card's fade after the last file is part
# of it, and a look at the screen takes a while, so the time is an upper
# bound). Beside it, the system's own move of the same number of
# files on the same volume (bench_plain_move: MoveFileExW of each, timed
# inside the program). Meanwhile bench_drop_watch sends the box window a
# message every few milliseconds from another process and keeps the longest
# wait for an answer: the UI thread's longest busy stretch, over the whole
# drop and once the first file has landed (the drop delivered, the job
# running). Each run prints
# the figures and the ratios to the system's move; a run during which the
# program showed a message box gives no figure.
#
#   bash bench/drop.sh                 (DROP_RUNS=3 DROP_FILES="1000 4000")
#   DROP_NAMES=mixed bash bench/drop.sh   (files of many kinds)
#   DROP_NAMES=photos DROP_FILES=200 bash bench/drop.sh   (photos)
#   DROP_SAME=replace DROP_FILES=300 bash bench/drop.sh   (every name is
#   in the box already: the same-name question answered "直接覆盖", the
#   replaced files kept for undo; the system's move is still the plain one)
#   DROP_TESSIK_EXE=/some/Tessik.exe bash bench/drop.sh   (another build;
#   nothing is built then, the probes and the bench programs must exist)
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RUNS="${DROP_RUNS:-3}"
COUNTS="${DROP_FILES:-1000 4000}"

source "$HERE/lane.sh"
if [ "${1:-}" != "--run" ]; then
  bench_outside "${DROP_TESSIK_EXE:-}" Tessik WindowProbe DropSource bench_plain_move bench_drop_watch
  exe="${DROP_TESSIK_EXE:-$TESSIK_BUILD/Tessik.exe}"
  for files in $COUNTS; do
    for run in $(seq "$RUNS"); do
      bash "$0" --run "$exe" "$TESSIK_BUILD/tests/e2e/WindowProbe.exe" "/tmp/tdb$$" "$run" "$files"
    done
  done
  rm -rf "/tmp/tdb$$"
  exit 0
fi

shift
bench_inside
RUN="$4"
FILES="$5"
source "$HERE/../tests/e2e/lib.sh" "$1" "$2" "$3"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"
PLAIN_EXE="$TESSIK_BUILD/bench/bench_plain_move.exe"
source "$HERE/watch.sh"

BOX_FOLDER="$WORK/boxes/root/d4444"
mkdir -p "$BOX_FOLDER" "$WORK/s" "$WORK/p" "$WORK/q"
# DROP_NAMES=mixed: names of many kinds (text files, which show a preview
# card, and types the system knows no icon of its own for), as a user's
# folder holds them; DROP_NAMES=photos: a camera's 6-megapixel photos,
# whose icons show thumbnails; otherwise one kind.
make_files() {
  local i tail=""
  if [ "${DROP_NAMES:-}" = photos ]; then
    [ -f "$WORK/photo.jpg" ] || convert -size 3000x2000 plasma:fractal -quality 85 "$WORK/photo.jpg"
    for i in $(seq -w 1 "$FILES"); do cp "$WORK/photo.jpg" "$1/f$i.jpg"; done
    return
  fi
  for i in $(seq -w 1 "$FILES"); do
    if [ "${DROP_NAMES:-}" = mixed ]; then
      case $((10#$i % 5)) in
        0) tail="" ;; 1) tail=".txt" ;; 2) tail=".doc" ;; 3) tail=".tar.gz" ;; *) tail=".k$i" ;;
      esac
    fi
    head -c 512 /dev/zero >"$1/f$i$tail"
  done
}
make_files "$WORK/s"
make_files "$WORK/p"
[ "${DROP_SAME:-}" = replace ] && make_files "$BOX_FOLDER"

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

start_watch

# Names relative to the source folder: four thousand full paths would not
# fit on a command line.
names=()
for f in "$WORK"/s/*; do
  names+=("$(basename "$f")")
done
box_store="$DATA/DesktopContainer.kelm"
# A record's path names the box's folder, doubled backslashes as stored.
stored_spelling="$(store_path "$BOX_FOLDER")\\\\f"
stored_records() { { grep -o -F "$stored_spelling" "$box_store" 2>/dev/null || true; } | wc -l; }
elapsed() { awk -v ns=$(($1 - started)) 'BEGIN {printf "%.3f", ns / 1e9}'; }
started=$(date +%s%N)
# The drop source waits for the box's answer, which comes after the job:
# the folder is watched meanwhile.
(cd "$WORK/s" && wine "$DROP_EXE" --released "$(win_path "$WORK/released")" $((bx + bw / 2)) $((by + bh / 2)) \
  "${names[@]}" >/dev/null 2>&1) &
source_pid=$!
if [ "${DROP_SAME:-}" = replace ]; then
  # One notch turns the question to "直接覆盖", as a user's wheel does.
  popup_class="Kelm.concept.PopupSel.Class" popup_title="Kelm.Test.concept.PopupSel"
  probe wait "$popup_class" "$popup_title" visible 30000 >/dev/null || fail "no same-name question"
  wait_still "$popup_class" "$popup_title"
  IFS=, read -r px py pw ph < <(probe list | awk -F'\t' -v c="$popup_class" '$1 == c {print $5; exit}')
  before=$(screen_sum "$px" "$py" "$pw" "$ph")
  probe post "$popup_class" "$popup_title" 522 $((120 * 65536)) $((px + pw / 2 + (py + ph / 2) * 65536)) >/dev/null
  for _ in $(seq 50); do
    [ "$(screen_sum "$px" "$py" "$pw" "$ph")" != "$before" ] && break
    sleep 0.1
  done
  wait_area_still "$px" "$py" "$pw" "$ph" || true
  probe click "$popup_class" "$popup_title" $((pw - 60)) $((ph - 40)) >/dev/null 2>&1 &
fi
arrived=0
first=""
for _ in $(seq 12000); do
  arrived=$(find "$BOX_FOLDER" -maxdepth 1 -type f ! -name '*.tessik-part' | wc -l)
  if [ -z "$first" ] && [ "$arrived" -gt 0 ]; then
    first=$(date +%s%N)
    touch "$WORK/landing"
  fi
  [ "$arrived" = "$FILES" ] && [ -z "$(ls -A "$WORK/s")" ] && break
  sleep 0.01
done
landed=$(date +%s%N)
[ "$arrived" = "$FILES" ] || fail "$arrived of $FILES files arrived"
# Shown: every record stored, then the box's picture unchanged for three
# looks 0.1 s apart (dated from the first of them).
stored=0
for _ in $(seq 6000); do
  stored=$(stored_records)
  [ "$stored" -ge "$FILES" ] && break
  sleep 0.05
done
[ "$stored" -ge "$FILES" ] || fail "$stored of $FILES records were stored"
stored_at=$(date +%s%N)
picture_rests "$bx" "$by" "$bw" "$bh"
still_at=$RESTED_AT
shown=$((still_at > stored_at ? still_at : stored_at))
stop_watch
wait "$source_pid" || fail "the drop did not happen"
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "the program showed a message box during the drop: no figure"
# Until the first file arrived: the drop source's start, the drop itself,
# the box's deferred import and the job's start.
# The same, timed from the moment the source let the drop go (written by
# DropSource): the system's move is timed inside its program too, without
# a process start.
released=$(tr -d '\r\n' <"$WORK/released" 2>/dev/null) || fail "the drop source did not say when it dropped"
since_drop() { awk -v ns=$(($1 - released)) 'BEGIN {printf "%.3f", ns / 1e9}'; }
awk -v r="$RUN" -v n="$FILES" -v d="$(elapsed "$landed")" -v s="$(elapsed "$shown")" -v f="$(elapsed "$first")" \
  -v p="$plain_s" -v l="$WATCH_LONGEST" -v ll="$WATCH_MARKED" -v a="$WATCH_ANSWERS" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" \
  -v rs="$(elapsed "$released")" -v dd="$(since_drop "$landed")" -v sd="$(since_drop "$shown")" \
  -v st="$(awk -v ns=$((stored_at - landed)) 'BEGIN {printf "%.3f", ns / 1e9}')" \
  -v sl="$(awk -v ns=$((still_at - landed)) 'BEGIN {printf "%.3f", ns / 1e9}')" \
  'BEGIN {printf "run %s, %d files: landed %.3f s (first after %.3f s), shown %.3f s, system move %.3f s; landed %.1fx, shown %.1fx; from the drop (%.3f s after the source started): landed %.3f s %.1fx, shown %.3f s %.1fx; after landing: every record stored %.3f s, last change of the picture seen %.3f s; UI thread longest wait %d ms, %d ms once files landed (%d answers); load %s\n", r, n, d, f, s, p, d / p, s / p, rs, dd, dd / p, sd, sd / p, st, sl, l, ll, a, load}'

# The copies kept for undo go to the Recycle Bin as their records leave the
# undo list, the last ones as the program ends: Wine's shell asks first.
answerer=""
if [ "${DROP_SAME:-}" = replace ]; then
  while :; do
    confirm=$({ probe list 2>/dev/null || true; } | awk -F'\t' '$1 == "#32770" && $2 ~ /^Confirm/ {print $2; exit}')
    [ -n "$confirm" ] && { probe post "#32770" "$confirm" 273 6 0 >/dev/null 2>&1 || true; }
    sleep 0.1
  done &
  answerer=$!
fi
quit_from_tray
wait_exit "$pid"
[ -z "$answerer" ] || kill "$answerer" 2>/dev/null || true
