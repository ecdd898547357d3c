#!/usr/bin/env bash
# Many files leaving a box of the real program at once: Tessik.exe in a
# portable data folder of its own, a normal box holding REMOVE_FILES files
# that came by drops (a record of each, with the folder it came from), and
# beside it an empty box whose window the watcher uses (the box that
# leaves takes its window along).
#
# What leaves (REMOVE_WHAT, one or more, each run in turn):
#   disband   "删除" of the box's "..." menu, "解散并归位" confirmed: every
#             file back to where it came from; yardstick the system's move
#   delete    every icon selected (Ctrl+A), Del, "彻底删除" confirmed;
#             yardstick DeleteFileW of each
#   recycle   the same, the first choice (to the Recycle Bin) confirmed;
#             yardstick one SHFileOperationW of all. Wine's shell may ask
#             before it recycles ("Confirm ..."): each question is answered
#             "Yes" within 0.1 s, and that time counts, as a user's would.
#             The Recycle Bin is a folder of the run's own (XDG_DATA_HOME).
#   folder-recycle  "删除" of the box's "..." menu, "移动文件到回收站"
#             confirmed: the box's folder to the Recycle Bin as a whole,
#             questions answered as above; yardstick as recycle
#   folder-delete   the same menu, "彻底删除文件" confirmed: the box's
#             folder deleted for good; yardstick as delete
#
# Every point is timed from the click that confirms, as the system's own
# operation on as many files is timed from its program's start, printed
# apart and as a ratio to it:
#   out of the folder  no file is left in the box's folder (disband: and
#                      every file stands where it came from)
#   records gone       the store holds no record of them (disband and the
#                      folder's removals: no box)
#   still              after that, the picture where the box stood has not
#                      changed for three looks 0.1 s apart
#   answering          after all of that, the program's thread has taken a
#                      posted message and a pointer move (bench_drop_watch,
#                      on the other box); for the folder's removals the
#                      posted message only: once the box's window went,
#                      Wine gave the foreground to its tray window, and no
#                      move of the pointer reached the program any more
# with the thread's longest wait and each wait over 50 ms with its phase.
# A run during which the program showed a message box gives no figure.
#
#   bash bench/remove.sh   (REMOVE_RUNS=3 REMOVE_FILES=1000
#                           REMOVE_WHAT="disband delete recycle")
#   REMOVE_TESSIK_EXE=/some/Tessik.exe bash bench/remove.sh   (another
#   build; nothing is built then, the probes and bench programs must exist)
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RUNS="${REMOVE_RUNS:-3}"
FILES="${REMOVE_FILES:-1000}"
WHAT="${REMOVE_WHAT:-disband delete recycle}"

source "$HERE/lane.sh"
source "$HERE/points.sh"
if [ "${1:-}" != "--run" ]; then
  bench_outside "${REMOVE_TESSIK_EXE:-}" Tessik WindowProbe bench_plain_move bench_drop_watch bench_watch_hook
  exe="${REMOVE_TESSIK_EXE:-$TESSIK_BUILD/Tessik.exe}"
  results="$(mktemp)"
  for what in $WHAT; do
    for run in $(seq "$RUNS"); do
      bash "$0" --run "$exe" "$TESSIK_BUILD/tests/e2e/WindowProbe.exe" "/tmp/trb$$" "$run" "$what" "$results" ||
        echo "$what, run $run, $FILES files: no figure"
    done
  done
  bench_summary "$results"
  rm -rf "/tmp/trb$$" "$results"
  exit 0
fi

shift
bench_inside
RUN="$4"
KIND="$5"
RESULTS="$6"
source "$HERE/../tests/e2e/lib.sh" "$1" "$2" "$3"
source "$HERE/watch.sh"
POPUP_CLASS="Kelm.concept.PopupSel.Class"
POPUP_TITLE="Kelm.Test.concept.PopupSel"

ROOT="$WORK/boxes/root"
BOX_FOLDER="$ROOT/d4444"
ORIGIN="$WORK/o"
mkdir -p "$BOX_FOLDER" "$ROOT/w7777" "$ORIGIN" "$WORK/p" "$WORK/q"
# What the program and the yardstick recycle stays in the run's folder.
export XDG_DATA_HOME="$WORK/xdg"
mkdir -p "$XDG_DATA_HOME"
for i in $(seq -w 1 "$FILES"); do
  head -c 512 /dev/zero >"$BOX_FOLDER/f$i"
  head -c 512 /dev/zero >"$WORK/p/f$i"
done
case "$KIND" in
  disband) plain_op "$WORK/p" "$WORK/q" ;;
  delete) plain_op --delete "$WORK/p" ;;
  recycle | folder-recycle) plain_op --recycle "$WORK/p" ;;
  folder-delete) plain_op --delete "$WORK/p" ;;
  *) fail "no such removal: $KIND" ;;
esac

seed_app_store "containerDir : \"$(store_path "$ROOT")\"" "showTessikMain : false"
cat >"$DATA/DesktopContainer.kelm" <<KELM
Components{
    ComID_d4444{
        id : "d4444",
        x : 200,
        y : 100,
        cx : 420,
        cy : 520,
        title : "Remove bench",
        clrtag : "#B0E0B0",
        UseTargetFolder : true,
        TargetFolder : "$(store_path "$BOX_FOLDER")",
        Icons{
$(seed_icons "$BOX_FOLDER" "$ORIGIN" f "$FILES")
        }
    },
    ComID_w7777{
        id : "w7777",
        x : 700,
        y : 100,
        cx : 300,
        cy : 300,
        title : "Witness",
        clrtag : "#B0B0E0",
        UseTargetFolder : true,
        TargetFolder : "$(store_path "$ROOT/w7777")"
    }
}
$OWN_ROOT
KELM
box_store="$DATA/DesktopContainer.kelm"
stored_spelling="path : \"$(store_path "$BOX_FOLDER")\\\\f"
stored_records() { { grep -o -F "$stored_spelling" "$box_store" 2>/dev/null || true; } | wc -l; }

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 2
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
# The box to empty stands at 200,100, the other at 700,100.
rect=$(probe at 300 300 | awk -F'\t' '{print $5}')
IFS=, read -r bx by bw bh <<<"$rect"
[ "${bw:-0}" -gt 0 ] || fail "no box at 300,300"
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "a message box is open before the removal: no figure"

# The pointer moves in the middle of the empty box.
start_watch "@820,250" 150 150
watch_hands_off
watch_phase "choosing what to remove"

# Turns the open question to the option $1 notches of the wheel below its
# first (each notch the next option).
turn_question() {
  for _ in $(seq "$1"); do turn_question_once "$mx" "$my" "$mw" "$mh"; done
}

# The box leaves whole on these roads: what counts is that it is gone.
box_goes=false
case "$KIND" in disband | folder-*) box_goes=true ;; esac
pointer_counts=true
case "$KIND" in folder-*) pointer_counts=false ;; esac

if $box_goes; then
  # "..." (65 DIPs from the title band's right edge), then "删除" (row 3:
  # rows are 40 DIPs apart, 10 above the first).
  xdotool mousemove $((bx + bw - 58)) $((by + 20)) click 1
  probe wait "$MENU_CLASS" "$MENU_TITLE" visible 20000 >/dev/null || fail "no more menu"
  wait_still "$MENU_CLASS" "$MENU_TITLE"
  menu_rect "Kelm.Menu.Class.0"
  xdotool mousemove $((mx + 60)) $((my + 150)) click 1
  probe wait "$POPUP_CLASS" "$POPUP_TITLE" visible 20000 >/dev/null || fail "the delete asked nothing"
  wait_still "$POPUP_CLASS" "$POPUP_TITLE"
  # The first option, "解散并归位", is chosen; "移动文件到回收站" is the
  # next, "彻底删除文件" the fourth.
  menu_rect "$POPUP_CLASS"
  case "$KIND" in
    folder-recycle) turn_question 1 ;;
    folder-delete) turn_question 3 ;;
  esac
else
  # Ctrl+click on the first icon gives the box the keyboard, Ctrl+A selects
  # every icon; under Wine a key counts only while a paint sees it held.
  asked=false
  for _ in 1 2 3 4 5; do
    xdotool mousemove $((bx + 60)) $((by + 90)) keydown ctrl click 1 keyup ctrl
    sleep 0.3
    xdotool keydown ctrl keydown a
    sleep 0.4
    xdotool keyup a keyup ctrl
    sleep 0.3
    xdotool keydown Delete
    sleep 0.4
    xdotool keyup Delete
    if probe wait "$POPUP_CLASS" "$POPUP_TITLE" visible 5000 >/dev/null; then
      asked=true
      break
    fi
  done
  $asked || fail "Del asked nothing"
  wait_still "$POPUP_CLASS" "$POPUP_TITLE"
  menu_rect "$POPUP_CLASS"
  # One notch of the wheel turns the question to "彻底删除".
  if [ "$KIND" = delete ]; then turn_question 1; fi
fi
# Wine's shell asks before it recycles: answered "Yes" as it comes.
answerer=""
if [ "$KIND" = recycle ] || [ "$KIND" = folder-recycle ]; then
  while :; do
    confirm=$({ probe list 2>/dev/null || true; } | awk -F'\t' '$1 == "#32770" && $2 ~ /^Confirm/ {print $2; exit}')
    [ -n "$confirm" ] && { probe post "#32770" "$confirm" 273 6 0 >/dev/null 2>&1 || true; }
    sleep 0.1
  done &
  answerer=$!
  # A run that fails on the way must not leave it answering forever.
  trap 'kill "$answerer" 2>/dev/null || true; cleanup' EXIT
fi
watch_mark
watch_phase "confirmed: the files leaving"
started=$(date +%s%N)
xdotool mousemove $((mx + mw - 60)) $((my + mh - 40)) click 1
! $pointer_counts || watch_hands_on
probe gone "$POPUP_CLASS" "$POPUP_TITLE" 20000 >/dev/null || fail "the question stayed open"

left=0
for _ in $(seq 30000); do
  left=$({ find "$BOX_FOLDER" -maxdepth 1 -type f -name 'f*' 2>/dev/null || true; } | wc -l)
  if [ "$left" = 0 ]; then
    [ "$KIND" != disband ] && break
    [ "$(find "$ORIGIN" -maxdepth 1 -type f -name 'f*' | wc -l)" = "$FILES" ] && break
  fi
  sleep 0.01
done
out_at=$(date +%s%N)
[ "$left" = 0 ] || fail "$left files are still in the box's folder"
watch_phase "the files out: records leaving"
for _ in $(seq 6000); do
  if $box_goes; then
    grep -q "ComID_d4444" "$box_store" 2>/dev/null || break
  else
    [ "$(stored_records)" = 0 ] && break
  fi
  sleep 0.05
done
if $box_goes; then
  ! grep -q "ComID_d4444" "$box_store" || fail "the removed box is still stored"
else
  [ "$(stored_records)" = 0 ] || fail "$(stored_records) records are still stored"
fi
gone_at=$(date +%s%N)
watch_phase "records gone: the picture settling"
picture_rests "$bx" "$by" "$bw" "$bh"
still_at=$RESTED_AT
watch_phase "asked to answer"
watch_answered
answered_at=$ANSWERED_AT
watch_phase "after the removal"
stop_watch
[ -z "$answerer" ] || kill "$answerer" 2>/dev/null || true
[ "$(probe count "#32770" "Tessik")" = 0 ] || fail "the program showed a message box during the removal: no figure"
if [ "$KIND" = recycle ] || [ "$KIND" = folder-recycle ]; then
  [ "$(find "$XDG_DATA_HOME" -type f -name 'f*' | wc -l)" -ge "$FILES" ] ||
    echo "note: the Recycle Bin of the run holds only $(find "$XDG_DATA_HOME" -type f -name 'f*' | wc -l) files"
fi

report_points "$KIND" "$RUN" "$FILES files" "$started" \
  "out of the folder" "$out_at" "records gone" "$gone_at" "still" "$still_at" "answering" "$answered_at"

quit_from_tray
wait_exit "$pid"
