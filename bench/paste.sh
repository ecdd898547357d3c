#!/usr/bin/env bash
# A paste of many files into the real program: Tessik.exe in a portable
# data folder of its own, the files put on the clipboard by another process
# (ClipboardProbe) as a copy in Explorer does.
#
# Where (PASTE_ONTO, one or more, each run in turn):
#   box    Ctrl+V pressed in a box whose folder already holds every name
#          (PASTE_FILES, 700 by default), the same-name question answered
#          "创建副本" as a user does: timed from the key press until the
#          question, and from the answer on
#   panel  "粘贴" of the open quick panel's content menu, a normal box
#          selected in it (PASTE_FILES, "1000 4000" by default): timed
#          from the click
# Each point is printed apart and as a ratio to the system's copy of as
# many files (bench_plain_move --copy), timed from that program's start:
#   in the folder  every copy stands in the box's folder
#   stored         the store holds a record of every copy (a paste into a
#                  box: "-", the records of the names it held are kept)
#   still          after that, the picture of the box (the panel) has not
#                  changed for three looks 0.1 s apart
#   answering      after all of that, the window's thread has taken a
#                  posted message and a pointer move (bench_drop_watch)
# with the thread's longest wait and each wait over 50 ms with its phase.
# A run during which the program showed a message box gives no figure.
#
#   bash bench/paste.sh                 (PASTE_RUNS=3 PASTE_ONTO=box)
#   PASTE_ONTO=panel bash bench/paste.sh
#   PASTE_TESSIK_EXE=/some/Tessik.exe bash bench/paste.sh   (another build;
#   nothing is built then, the probes and the bench programs must exist)
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RUNS="${PASTE_RUNS:-3}"
ONTO="${PASTE_ONTO:-box}"

source "$HERE/lane.sh"
source "$HERE/points.sh"
if [ "${1:-}" != "--run" ]; then
  bench_outside "${PASTE_TESSIK_EXE:-}" Tessik WindowProbe ClipboardProbe bench_plain_move bench_drop_watch \
    bench_watch_hook
  exe="${PASTE_TESSIK_EXE:-$TESSIK_BUILD/Tessik.exe}"
  results="$(mktemp)"
  for onto in $ONTO; do
    counts="${PASTE_FILES:-700}"
    [ "$onto" = panel ] && counts="${PASTE_FILES:-1000 4000}"
    for files in $counts; do
      for run in $(seq "$RUNS"); do
        bash "$0" --run "$exe" "$TESSIK_BUILD/tests/e2e/WindowProbe.exe" "/tmp/tpb$$" "$run" "$files" "$onto" \
          "$results" || echo "$onto, run $run, $files files: no figure"
      done
    done
  done
  bench_summary "$results"
  rm -rf "/tmp/tpb$$" "$results"
  exit 0
fi

shift
bench_inside
RUN="$4"
FILES="$5"
KIND="$6"
RESULTS="$7"
source "$HERE/../tests/e2e/lib.sh" "$1" "$2" "$3"
CLIP_EXE="$(dirname "$PROBE_EXE")/ClipboardProbe.exe"
source "$HERE/watch.sh"
PANEL_CLASS="Tessik.Kelm.QuickPanel.Class"
PANEL_TITLE="Tessik.QuickPanel"
POPUP_CLASS="Kelm.concept.PopupSel.Class"
POPUP_TITLE="Kelm.Test.concept.PopupSel"

BOX_FOLDER="$WORK/boxes/root/p6666"
mkdir -p "$BOX_FOLDER" "$WORK/s" "$WORK/p" "$WORK/q"
# Names without an extension on the panel: four thousand names with one
# would not fit on a command line.
for i in $(seq -w 1 "$FILES"); do
  if [ "$KIND" = box ]; then
    head -c 512 /dev/zero >"$WORK/s/f$i.txt"
    head -c 256 /dev/zero >"$BOX_FOLDER/f$i.txt"
  else
    head -c 512 /dev/zero >"$WORK/s/f$i"
  fi
  head -c 512 /dev/zero >"$WORK/p/f$i"
done
plain_op --copy "$WORK/p" "$WORK/q"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes/root")\"" "showTessikMain : false"
seed_folder_box p6666 "Paste bench" "$BOX_FOLDER"
[ "$KIND" = panel ] && printf 'ListOrder{\n    0 : "p6666"\n}\n%s\n' "$OWN_ROOT" >"$DATA/QuickPanelCom.kelm"
box_store="$DATA/DesktopContainer.kelm"
stored_spelling="path : \"$(store_path "$BOX_FOLDER")\\\\f"
stored_records() { { grep -o -F "$stored_spelling" "$box_store" 2>/dev/null || true; } | wc -l; }

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "a message box is open before the paste: no figure"
(cd "$WORK/s" && wine "$CLIP_EXE" put-files f* >/dev/null 2>&1) || fail "could not fill the clipboard"
read -r wx wy ww wh <<<"$bx $by $bw $bh"

if [ "$KIND" = box ]; then
  start_watch
  watch_hands_off
  watch_phase "Ctrl+V pressed"
  # The box takes the keyboard by a click on its empty lower part; under
  # Wine a key counts only while a paint sees it held.
  xdotool mousemove $((bx + bw / 2)) $((by + bh - 60)) click 1
  wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
  watch_mark
  started=$(date +%s%N)
  xdotool keydown ctrl keydown v
  probe wait "$POPUP_CLASS" "$POPUP_TITLE" visible 60000 >/dev/null || fail "no same-name question"
  asked=$(date +%s%N)
  xdotool keyup v keyup ctrl
  watch_phase "the same-name question"
  wait_still "$POPUP_CLASS" "$POPUP_TITLE"
  IFS=, read -r _ _ pw ph < <(probe list | awk -F'\t' -v c="$POPUP_CLASS" '$1 == c {print $5; exit}')
  answered=$(date +%s%N)
  watch_phase "answered: copies coming"
  probe click "$POPUP_CLASS" "$POPUP_TITLE" $((pw - 60)) $((ph - 40)) >/dev/null 2>&1 &
  watch_hands_on
  copies="* (1).txt"
else
  probe post "$MAIN_CLASS" "$MAIN_TITLE" 786 1001 0 >/dev/null || fail "cannot post the hotkey"
  wait_still "$PANEL_CLASS" "$PANEL_TITLE"
  IFS=, read -r wx wy ww wh <<<"$(probe list | awk -F'\t' -v c="$PANEL_CLASS" '$1 == c {print $5; exit}')"
  start_watch "$PANEL_CLASS"
  watch_hands_off
  watch_phase "the content menu"
  xdotool mousemove $((wx + 500)) $((wy + 400)) click 3
  probe wait "$MENU_CLASS" "$MENU_TITLE" visible 20000 >/dev/null || fail "no content menu"
  wait_still "$MENU_CLASS" "$MENU_TITLE"
  menu_rect "Kelm.Menu.Class.0"
  watch_mark
  watch_phase "粘贴 clicked: copies coming"
  started=$(date +%s%N)
  xdotool mousemove $((mx + 60)) $((my + 30)) click 1
  watch_hands_on
  copies="f*"
fi
arrived=0
for _ in $(seq 30000); do
  arrived=$(find "$BOX_FOLDER" -maxdepth 1 -type f -name "$copies" ! -name '*.tessik-part' | wc -l)
  [ "$arrived" = "$FILES" ] && break
  sleep 0.01
done
landed=$(date +%s%N)
[ "$arrived" = "$FILES" ] || fail "$arrived of $FILES copies arrived"
stored_at=-
if [ "$KIND" = panel ]; then
  watch_phase "the copies in the folder: records coming"
  for _ in $(seq 6000); do
    [ "$(stored_records)" -ge "$FILES" ] && break
    sleep 0.05
  done
  [ "$(stored_records)" -ge "$FILES" ] || fail "$(stored_records) of $FILES records were stored"
  stored_at=$(date +%s%N)
fi
watch_phase "the picture settling"
picture_rests "$wx" "$wy" "$ww" "$wh"
still_at=$RESTED_AT
watch_phase "asked to answer"
watch_answered
answered_at=$ANSWERED_AT
watch_phase "after the paste"
stop_watch
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "the program showed a message box during the paste: no figure"

if [ "$KIND" = box ]; then
  report_points "box (names taken)" "$RUN" "$FILES files" "$started" "question" "$asked" \
    "then from the answer: in the folder" "$((landed - answered + started))" \
    "still" "$((still_at - answered + started))" "answering" "$((answered_at - answered + started))"
else
  report_points "panel" "$RUN" "$FILES files" "$started" \
    "in the folder" "$landed" "stored" "$stored_at" "still" "$still_at" "answering" "$answered_at"
fi
[ "$KIND" = panel ] && probe post "$MAIN_CLASS" "$MAIN_TITLE" 786 1001 0 >/dev/null
quit_from_tray
wait_exit "$pid"
