#!/usr/bin/env bash
# A real drop of many small files onto the real program: Tessik.exe in a
# portable data folder of its own (the four stores seeded in the program's
# own form), DropSource.exe dropping the files from another process.
#
# What takes the drop (DROP_ONTO, one or more, each run in turn):
#   normal       an empty normal box (its folder lies in the box root)
#   full-drops   a normal box holding 10,000 files that came by drops (a
#                record of each in the store, with where it came from)
#   full-folder  a normal box whose folder holds 10,000 files it has no
#                record of yet (the records come from its folder at start)
#   target       a target box (a folder of the user's own)
#   mapping      a mapping box (records only, the files stay)
#   panel        the open quick panel, a normal box selected in it
#
# Every point is timed from the drop source's start, as the system's own
# move of the same number of files (bench_plain_move: MoveFileExW of each,
# on the same volume) is timed from its start, and printed apart, each also
# as a ratio to that move:
#   handed over   the source let the drop go (DropSource writes when)
#   in the folder every file stands in the box's folder and its source is
#                 empty (a mapping box moves nothing: no such point)
#   stored        the store holds a record of every file
#   still         after that, the box's picture (the panel's) has not
#                 changed for three looks 0.1 s apart (dated from the first)
#   answering     after all of that, the window's thread has taken a posted
#                 message and a pointer move from its queue
#                 (bench_drop_watch): a frozen thread, however still its
#                 picture, cannot pass; this is when the drop is shown
# A full box's points are also printed against the system's move of the
# same files into a folder that already holds as many files as the box.
# Meanwhile bench_drop_watch keeps the thread's longest wait (over the
# whole drop, and once the drop was handed over) and each wait over 50 ms
# with the phase it fell in. A run during which the program showed a
# message box gives no figure. A summary of the runs' medians ends the
# output.
#
#   bash bench/drop.sh   (DROP_RUNS=3 DROP_FILES=1000
#                         DROP_ONTO="normal full-drops full-folder")
#   DROP_ONTO="target mapping" bash bench/drop.sh
#   DROP_ONTO=panel DROP_FILES="1000 4000" bash bench/drop.sh
#   DROP_FULL=10000 sets how many files a full box holds
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
COUNTS="${DROP_FILES:-1000}"
ONTO="${DROP_ONTO:-normal full-drops full-folder}"

source "$HERE/lane.sh"
source "$HERE/points.sh"
if [ "${1:-}" != "--run" ]; then
  bench_outside "${DROP_TESSIK_EXE:-}" Tessik WindowProbe DropSource bench_plain_move bench_drop_watch bench_watch_hook
  exe="${DROP_TESSIK_EXE:-$TESSIK_BUILD/Tessik.exe}"
  results="$(mktemp)"
  for files in $COUNTS; do
    for onto in $ONTO; do
      for run in $(seq "$RUNS"); do
        bash "$0" --run "$exe" "$TESSIK_BUILD/tests/e2e/WindowProbe.exe" "/tmp/tdb$$" "$run" "$files" "$onto" "$results" ||
          echo "$onto, run $run, $files files: no figure"
      done
    done
  done
  bench_summary "$results"
  rm -rf "/tmp/tdb$$" "$results"
  exit 0
fi

shift
bench_inside
RUN="$4"
FILES="$5"
KIND="$6"
RESULTS="$7"
source "$HERE/../tests/e2e/lib.sh" "$1" "$2" "$3"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"
source "$HERE/watch.sh"
FULL="${DROP_FULL:-10000}"
PANEL_CLASS="Tessik.Kelm.QuickPanel.Class"
PANEL_TITLE="Tessik.QuickPanel"

ROOT="$WORK/boxes/root"
BOX_FOLDER="$ROOT/d4444"
[ "$KIND" = target ] && BOX_FOLDER="$WORK/mine/target"
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

plain_op "$WORK/p" "$WORK/q"
# Under Wine a name that a folder does not hold yet is looked for through
# the whole folder, so a move into a full folder costs the system itself
# several times a move into an empty one: for a full box, the system's
# move of the same files into a folder holding as many as the box is timed
# too, and the drop's points are printed against it as well.
FULL_PLAIN_S=""
if [ "$KIND" = full-drops ] || [ "$KIND" = full-folder ]; then
  mkdir -p "$WORK/qf"
  for i in $(seq -w 1 "$FULL"); do : >"$WORK/qf/h$i"; done
  mv "$WORK/q"/* "$WORK/p/"
  read -r empty_s empty_inside <<<"$PLAIN_S $PLAIN_INSIDE"
  plain_op "$WORK/p" "$WORK/qf"
  read -r FULL_PLAIN_S FULL_PLAIN_INSIDE <<<"$PLAIN_S $PLAIN_INSIDE"
  read -r PLAIN_S PLAIN_INSIDE <<<"$empty_s $empty_inside"
fi

seed_app_store "containerDir : \"$(store_path "$ROOT")\"" "showTessikMain : false"
box_body="id : \"d4444\",
        x : 200,
        y : 100,
        cx : 420,
        cy : 520,
        title : \"Drop bench\",
        clrtag : \"#B0E0B0\""
case "$KIND" in
  normal | full-* | panel) box_body+=",
        UseTargetFolder : true,
        TargetFolder : \"$(store_path "$BOX_FOLDER")\"" ;;
  target) box_body+=",
        UseTargetFolder : true,
        IsCustomTarget : true,
        TargetFolder : \"$(store_path "$BOX_FOLDER")\"" ;;
  mapping) ;;
  *) fail "no such kind of drop: $KIND" ;;
esac
held=0
if [ "$KIND" = full-drops ] || [ "$KIND" = full-folder ]; then
  held=$FULL
  for i in $(seq -w 1 "$FULL"); do : >"$BOX_FOLDER/h$i"; done
fi
# Records as drops leave them: the file's place in the box and where it
# came from.
if [ "$KIND" = full-drops ]; then
  box_body+=",
        Icons{
$(seed_icons "$BOX_FOLDER" "$WORK/o" h "$FULL")
        }"
fi
printf 'Components{\n    ComID_d4444{\n        %s\n    }\n}\n%s\n' "$box_body" "$OWN_ROOT" >"$DATA/DesktopContainer.kelm"
if [ "$KIND" = panel ]; then
  printf 'ListOrder{\n    0 : "d4444"\n}\n%s\n' "$OWN_ROOT" >"$DATA/QuickPanelCom.kelm"
fi

box_store="$DATA/DesktopContainer.kelm"
# A record's path as stored (doubled backslashes): in the box's folder, or
# for a mapping box where the file stays.
if [ "$KIND" = mapping ]; then
  stored_spelling="$(store_path "$WORK/s")\\\\f"
else
  stored_spelling="$(store_path "$BOX_FOLDER")\\\\f"
fi
stored_records() { { grep -o -F "path : \"$stored_spelling" "$box_store" 2>/dev/null || true; } | wc -l; }

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
if [ "$held" -gt 0 ]; then
  # The box has taken what it holds before the drop: a record of each of
  # its files stored.
  held_spelling="$(store_path "$BOX_FOLDER")\\\\h"
  for _ in $(seq 3000); do
    [ "$({ grep -o -F "path : \"$held_spelling" "$box_store" 2>/dev/null || true; } | wc -l)" -ge "$held" ] && break
    sleep 0.1
  done
  [ "$({ grep -o -F "path : \"$held_spelling" "$box_store" 2>/dev/null || true; } | wc -l)" -ge "$held" ] ||
    fail "the box did not take the $held files it holds"
  picture_rests "$bx" "$by" "$bw" "$bh"
fi
watched_class="$BOX_PREFIX"
read -r wx wy ww wh <<<"$bx $by $bw $bh"
if [ "$KIND" = panel ]; then
  probe post "$MAIN_CLASS" "$MAIN_TITLE" 786 1001 0 >/dev/null || fail "cannot post the hotkey"
  wait_still "$PANEL_CLASS" "$PANEL_TITLE"
  IFS=, read -r wx wy ww wh <<<"$(probe list | awk -F'\t' -v c="$PANEL_CLASS" '$1 == c {print $5; exit}')"
  watched_class="$PANEL_CLASS"
fi
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "a message box is open before the drop: no figure"

start_watch "$watched_class"
watch_hands_off
watch_phase "dropping: the source starts and drags"

# Names relative to the source folder: four thousand full paths would not
# fit on a command line.
names=()
for f in "$WORK"/s/*; do
  names+=("$(basename "$f")")
done
drop_x=$((wx + ww / 2)) drop_y=$((wy + wh / 2))
[ "$KIND" = panel ] && drop_x=$((wx + 500)) drop_y=$((wy + 400))
started=$(date +%s%N)
# The drop source waits for the box's answer, which comes after the job:
# the folder is watched meanwhile.
(cd "$WORK/s" && wine "$DROP_EXE" --released "$(win_path "$WORK/released")" "$drop_x" "$drop_y" \
  "${names[@]}" >/dev/null 2>&1) &
source_pid=$!
if [ "${DROP_SAME:-}" = replace ]; then
  # One notch turns the question to "直接覆盖", as a user's wheel does.
  watch_phase "the same-name question"
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
handed="" landed="" arrived=0
for _ in $(seq 30000); do
  if [ -z "$handed" ] && [ -s "$WORK/released" ]; then
    handed=$(tr -d '\r\n' <"$WORK/released")
    watch_mark
    watch_phase "the drop handed over: files moving in"
    watch_hands_on
  fi
  [ "$KIND" = mapping ] && { [ -n "$handed" ] && break; sleep 0.01; continue; }
  arrived=$(find "$BOX_FOLDER" -maxdepth 1 -type f -name 'f*' ! -name '*.tessik-part' | wc -l)
  [ "$arrived" = "$FILES" ] && [ -z "$(ls -A "$WORK/s")" ] && [ -n "$handed" ] && break
  sleep 0.01
done
[ -n "$handed" ] || fail "the drop source did not drop"
if [ "$KIND" != mapping ]; then
  landed=$(date +%s%N)
  [ "$arrived" = "$FILES" ] || fail "$arrived of $FILES files arrived"
  watch_phase "the files in the folder: records coming"
fi
stored=0
for _ in $(seq 6000); do
  stored=$(stored_records)
  [ "$stored" -ge "$FILES" ] && break
  sleep 0.05
done
[ "$stored" -ge "$FILES" ] || fail "$stored of $FILES records were stored"
stored_at=$(date +%s%N)
watch_phase "records stored: the picture settling"
picture_rests "$wx" "$wy" "$ww" "$wh"
still_at=$RESTED_AT
watch_phase "asked to answer"
watch_answered
answered_at=$ANSWERED_AT
watch_phase "after the drop"
stop_watch
wait "$source_pid" || fail "the drop did not happen"
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "the program showed a message box during the drop: no figure"

label="$KIND"
[ "$held" -gt 0 ] && label="$KIND (box held $held)"
report_points "$label" "$RUN" "$FILES files" "$started" \
  "handed over" "$handed" "in the folder" "${landed:--}" "stored" "$stored_at" "still" "$still_at" \
  "answering" "$answered_at"
if [ -n "$FULL_PLAIN_S" ]; then
  full_ratio() { awk -v ns=$(($1 - started)) -v p="$FULL_PLAIN_S" 'BEGIN {printf "%.1fx", ns / 1e9 / p}'; }
  echo "  beside the system's move into a folder already holding $FULL ($FULL_PLAIN_S s from its start," \
    "$FULL_PLAIN_INSIDE s inside): in the folder $(full_ratio "$landed"); stored $(full_ratio "$stored_at");" \
    "still $(full_ratio "$still_at"); answering $(full_ratio "$answered_at")"
fi

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
[ "$KIND" = panel ] && probe post "$MAIN_CLASS" "$MAIN_TITLE" 786 1001 0 >/dev/null
quit_from_tray
wait_exit "$pid"
[ -z "$answerer" ] || kill "$answerer" 2>/dev/null || true
