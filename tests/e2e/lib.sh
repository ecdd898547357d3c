# Shared set-up of the end-to-end scripts; sourced. Arguments of every
# script: Tessik.exe, WindowProbe.exe, a work folder of the test's own.
set -euo pipefail
TESSIK_EXE="$1"
PROBE_EXE="$2"
WORK="$3"
# A test never runs outside a lane of scripts/test.sh (see env.sh).
export TESSIK_UNDER_TEST=1
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/env.sh"

MAIN_CLASS="Kelm.Class.Tessik.App.Main"
MAIN_TITLE="Tessik"
WM_TRAY=4087
WM_RBUTTONUP=517
WM_LBUTTONUP=514
WM_CLOSE=16
MENU_CLASS="Kelm.Menu.Class.0*"
MENU_TITLE="Kelm.Menu"
# Client points (x + y * 65536) of the tray menu's rows at DPI 96.
TRAY_ROW_BACK=$((70 + 27 * 65536))
TRAY_ROW_QUIT=$((70 + 67 * 65536))
TODAY="$(date +%Y_%m_%d)"

rm -rf "$WORK"
APP="$WORK/app"
DATA="$APP/.tessik_config"
mkdir -p "$DATA"
cp "$TESSIK_EXE" "$APP/Tessik.exe"

# Z: is the Unix root in Wine.
win_path() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }
# A path as the store writes it: backslashes doubled.
store_path() { win_path "$1" | sed 's|\\|\\\\|g'; }

# The arguments joined by "," and a line feed, as members are written.
join_members() {
  local out="" item
  for item in "$@"; do
    [ -n "$out" ] && out+=$',\n'
    out+="$item"
  done
  printf '%s' "$out"
}

# Portable data folder: Tessik.kelm beside the program makes it so.
# Arguments: lines to put into "TessikRef" (already in store syntax).
# Every store file a start leaves holds the root "TessikRef" (a start
# writes a marker into it): a seeded store without it reads as damaged.
OWN_ROOT='TessikRef{
    test : 0
}'

# A data folder in use holds all four stores: the settings as given, and
# each other store not seeded yet as a start leaves it with nothing in it.
seed_app_store() {
  printf 'TessikRef{\n%s\n}\n' "$(join_members "${@/#/    }")" > "$DATA/Tessik.kelm"
  local f
  for f in DesktopContainer.kelm MagnetCom.kelm QuickPanelCom.kelm; do
    [ -e "$DATA/$f" ] || printf '%s\n' "$OWN_ROOT" > "$DATA/$f"
  done
}

# The probe's whole answer is taken before any of it is passed on, and
# passed on in one write: a reader that stops at its first match (awk's
# exit, head) must not end the probe's side of the pipe half way, which
# pipefail would count as a failure. The probe's own exit code is kept.
#
# On a loaded machine Wine now and then ends a program at its start with
# status 1 and nothing on its output. Such an end is told from a real
# answer, and the probe run again (twice at most), so:
# - a waiting command (wait, gone, settled, mutex-gone: the last argument
#   is its bound in ms) can only fail once its bound has passed; one that
#   fails sooner was ended at its start;
# - a reading command (list, count, at, item-text, message-font-covers)
#   answers with output; one that fails and prints nothing may have been
#   ended at its start (list and count never fail; at and item-text fail
#   silently for "nothing there", and asking again changes nothing then);
# - a command that acts (post, post-one, send, close-title, click, move)
#   always says something when it fails; one that fails without a word on
#   either output was ended before it acted.
probe() {
  local out status attempt started elapsed bound=0 reads=false acts=false again
  local said
  case "${1:-}" in
    wait | gone | settled | mutex-gone) bound="${*: -1}" ;;
    list | count | at | item-text | message-font-covers) reads=true ;;
    post | post-one | send | close-title | click | move | set-item-text) acts=true ;;
  esac
  [[ "$bound" =~ ^[0-9]+$ ]] || bound=0
  said=$(mktemp "$WORK/probe-said.XXXXXX")
  for attempt in 1 2 3; do
    status=0
    started=$(date +%s%N)
    out=$(wine "$PROBE_EXE" "$@" 2>"$said" | tr -d '\r'; exit "${PIPESTATUS[0]}") || status=$?
    elapsed=$((($(date +%s%N) - started) / 1000000))
    cat "$said" >>"$WORK/probe-errors.txt"
    [ "$status" != 0 ] || break
    again=false
    [ "$bound" -gt 0 ] && [ "$elapsed" -lt "$bound" ] && again=true
    $reads && [ -z "$out" ] && again=true
    $acts && [ "$status" = 1 ] && [ -z "$out" ] && [ ! -s "$said" ] && again=true
    $again || break
    echo "probe $1 ended with status $status after $elapsed ms (bound $bound ms), ${#out} characters out; run again" >>"$WORK/probe-errors.txt"
  done
  rm -f "$said"
  [ -z "$out" ] || cat <<<"$out"
  return "$status"
}

# Runs a Windows program that reads (the clipboard's file list, a registry
# value) or drops (DropSource, which prints its result at its end) and
# passes on what it printed. An end with status 1 and nothing on either
# output may be Wine's end of a program at its start (see probe), before it
# read or dropped anything: it is run again, twice at most. A real
# "nothing" (a missing value) says so on the error output.
wine_read() {
  local out status attempt errors="$WORK/read-errors.txt"
  for attempt in 1 2 3; do
    status=0
    out=$(wine "$@" 2>"$errors" | tr -d '\r'; exit "${PIPESTATUS[0]}") || status=$?
    [ "$status" = 1 ] && [ -z "$out" ] && [ ! -s "$errors" ] || break
  done
  [ -z "$out" ] || cat <<<"$out"
  return "$status"
}

# Whether a process this script started in the background still runs. Its
# number alone does not tell: once the process has ended, the system may
# give the number to any new process, another suite's on a shared machine
# too, which a kill must never reach.
runs() { [ "$(ps -o ppid= -p "$1" 2>/dev/null | tr -d ' ')" = "$$" ]; }

# Drops files from another process at x y (DropSource arguments in $@,
# options first) and waits (bounded) for the window of class $1 and title
# $2 the drop brings. On a busy machine the dragging program may end its
# drag before the target saw it enter: it then ends with "no drop" and no
# window came, so it drops again, twice at most. The dragging program's
# pid is in DROP_PID, what it printed in $WORK/drop.txt.
drop_for_window() {
  local class="$1" title="$2" attempt
  shift 2
  for attempt in 1 2 3; do
    wine "$(dirname "$PROBE_EXE")/DropSource.exe" "$@" >"$WORK/drop.txt" 2>/dev/null &
    DROP_PID=$!
    TESSIK_PIDS+=("$DROP_PID")
    local until=$((SECONDS + 30))
    while [ "$SECONDS" -lt "$until" ]; do
      probe wait "$class" "$title" visible 1000 >/dev/null && return 0
      runs "$DROP_PID" || break
    done
    if ! runs "$DROP_PID" && ! wait "$DROP_PID" && ! probe wait "$class" "$title" visible 3000 >/dev/null; then
      echo "note: drop $attempt was not taken ($(tr -d '\r' <"$WORK/drop.txt")); dropping again" >&2
      continue
    fi
    probe wait "$class" "$title" visible 1000 >/dev/null
    return
  done
  return 1
}

TESSIK_PIDS=()
# Starts Tessik in the background; its pid is in LAST_PID. It is to be the
# only instance: first wait (bounded) until no earlier one, of this test or
# the one before, holds the instance any more. One that has ended is let go
# of by Wine a little later, and meanwhile the start would defer to it and
# end at once.
#
# On a loaded machine Wine was seen to end a program at its very start with
# no word at all (a probe, with status 1; a "reg add" while the prefix was
# made). Tessik writes its
# store loads before anything else, and here (no other instance) never ends
# on its own before them: such a start is made again, twice at most.
start_tessik() {
  local attempt before
  for attempt in 1 2 3; do
    probe mutex-gone "$INSTANCE_MUTEX" 20000 >/dev/null ||
      fail "a Tessik still runs before this start (processes $(tessik_processes | tr '\n' ' '))"
    before=$(output_size)
    start_second_tessik "$@"
    ended_silently_at_start "$LAST_PID" "$before" || return 0
    echo "note: Wine ended Tessik at its start with status 1 and no output; starting it again" >&2
  done
  fail "Wine ended Tessik at its start three times"
}
output_size() { stat -c %s "$WORK/output.txt" 2>/dev/null || echo 0; }
# Whether the program ended with status 1 before writing anything past the
# given size of the output (bounded: 20 s). A program that ended otherwise
# is left for the test to wait for.
ended_silently_at_start() {
  local pid="$1" before="$2" status=0 i
  for i in $(seq 200); do
    [ "$(output_size)" -gt "$before" ] && return 1
    runs "$pid" || break
    sleep 0.1
  done
  runs "$pid" && return 1
  [ "$(output_size)" -gt "$before" ] && return 1
  wait "$pid" || status=$?
  [ "$status" = 1 ]
}
# Starts Tessik beside a running one (a second start, a restart).
start_second_tessik() {
  (cd "$APP" && exec wine "$APP/Tessik.exe" "$@") >>"$WORK/output.txt" 2>&1 &
  LAST_PID=$!
  TESSIK_PIDS+=("$LAST_PID")
}

# Waits (bounded) for a background Tessik to end and leaves its exit code
# in RC ("timeout" when it did not end). Not in a subshell: only this shell
# can wait for its children.
wait_exit() {
  local pid="$1" i
  RC=timeout
  for i in $(seq 300); do
    if ! runs "$pid"; then
      RC=0
      wait "$pid" || RC=$?
      return 0
    fi
    sleep 0.1
  done
}

# Every instance of Tessik holds this mutex; a start that finds it held
# defers to the running instance and ends at once.
INSTANCE_MUTEX='Local\Tessik_App_Mutex'

# The windows' processes of every Tessik still running (Windows ids).
tessik_processes() { probe list | awk -F'\t' -v c="$MAIN_CLASS" '$1 == c {print $4}' | sort -u; }

# Ends this script's programs, and those the program started itself (a
# restore starts Tessik anew), then waits (bounded) until Wine has let go
# of them: the next test's program must not find an instance still ending.
cleanup() {
  local pid
  trap - ERR
  for pid in "${TESSIK_PIDS[@]}"; do
    if runs "$pid"; then kill -9 "$pid" 2>/dev/null || true; fi
  done
  probe mutex-gone "$INSTANCE_MUTEX" 3000 >/dev/null 2>&1 && return 0
  for pid in $(tessik_processes 2>/dev/null); do
    wine taskkill /F /PID "$pid" >/dev/null 2>&1 || true
  done
  probe mutex-gone "$INSTANCE_MUTEX" 10000 >/dev/null 2>&1 || true
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  # A failure inside a command substitution ends only its subshell: the
  # mark keeps the caller's error trap from reporting it a second time.
  : >"$WORK/failed" 2>/dev/null || true
  echo "--- program output:" >&2
  cat "$WORK/output.txt" >&2 2>/dev/null || true
  if [ -s "$WORK/probe-errors.txt" ]; then
    echo "--- probe errors:" >&2
    cat "$WORK/probe-errors.txt" >&2
  fi
  # What the program wrote of its own and what still ran: a start that
  # showed nothing tells here how far it came.
  local log pid
  for log in "$DATA"/logs/*; do
    [ -f "$log" ] || continue
    echo "--- last lines of ${log##*/}:" >&2
    tail -n 30 "$log" | tr -d '\r' >&2
  done
  for pid in "${TESSIK_PIDS[@]}"; do
    if runs "$pid"; then echo "--- started program $pid still runs" >&2; else echo "--- started program $pid has ended" >&2; fi
  done
  echo "--- Wine processes:" >&2
  ps -eo pid,stat,etimes,pcpu,args 2>/dev/null | grep -iE 'wine|\.exe' | grep -v grep | cut -c1-160 >&2 || true
  exit 1
}

# Ends the test as skipped, with the reason: a script that cannot check
# what it names here (the system lacks what it needs) says so rather than
# pass. ctest counts exit code 77 as a skip (SKIP_RETURN_CODE), and
# scripts/test.sh lists the reason from this line.
skip_test() {
  echo "e2e: skipped: $*"
  exit 77
}

# A command that fails outside any check would end the script through
# set -e without a word: name the step (script, line, function), the
# command and its exit status. Only the script's own shell reports; a
# failure inside a command substitution shows as the failed assignment.
on_error() {
  local status="$1" where="$2" command="$3"
  [ "$BASH_SUBSHELL" = 0 ] || return 0
  [ -e "$WORK/failed" ] && exit 1
  fail "$where: \`$command\` ended with status $status"
}
set -o errtrace
trap 'on_error $? "${BASH_SOURCE[0]##*/}:$LINENO${FUNCNAME[0]:+ in ${FUNCNAME[0]}}" "$BASH_COMMAND"' ERR

# A click at a client point of the main window.
click_main() { probe click "$MAIN_CLASS" "$MAIN_TITLE" "$1" "$2" >/dev/null || fail "click at $1,$2"; }
# Clicks a tab of the main window once it is at rest, and again (bounded)
# while the page title still shows the page from before: a click taken
# while the window is still coming up is lost.
click_tab() {
  local x="$1" y="$2" before i j
  wait_still "$MAIN_CLASS" "$MAIN_TITLE"
  before=$(page_title_sum)
  for i in 1 2 3 4; do
    click_main "$x" "$y"
    for j in $(seq 30); do
      [ "$(page_title_sum)" != "$before" ] && return 0
      sleep 0.1
    done
  done
  fail "the tab at $x,$y did not open its page"
}
# A checksum of the page title's band (client 300,30 to 700,90): the tabs'
# hover, left of it, does not reach it.
page_title_sum() {
  local rect x y w h
  rect=$(probe wait "$MAIN_CLASS" "$MAIN_TITLE" visible 5000 | awk -F'\t' '{print $5}')
  IFS=, read -r x y w h <<<"$rect"
  screen_sum $((x + 300)) $((y + 30)) 400 60
}
# A checksum of the screen's rectangle x y w h.
screen_sum() { import -window root -crop "${3}x${4}+${1}+${2}" -depth 8 rgb:- 2>/dev/null | md5sum; }
# Waits (bounded) until the screen's rectangle x y w h shows the same
# picture twice in a row: what eases there has come to rest.
wait_area_still() {
  local last="" now
  for _ in $(seq 50); do
    now=$(screen_sum "$@")
    [ "$now" = "$last" ] && return 0
    last=$now
    sleep 0.1
  done
  return 1
}
# Waits (bounded, 5 min) until the screen's rectangle x y w h shows the
# same picture at three looks 0.1 s apart; RESTED_AT is then the time (ns)
# of the first of them, the last change seen. Fails when it never rests.
picture_rests() {
  local last="" now same=0
  RESTED_AT=$(date +%s%N)
  for _ in $(seq 3000); do
    now=$(screen_sum "$@")
    if [ "$now" = "$last" ]; then
      same=$((same + 1))
      [ "$same" -ge 2 ] && return 0
    else
      last=$now
      same=0
      RESTED_AT=$(date +%s%N)
    fi
    sleep 0.1
  done
  fail "the picture at $* did not come to rest"
}
# A screenshot of the main window as $WORK/<name>.png.
shot_main() {
  local rect x y w h
  rect=$(probe wait "$MAIN_CLASS" "$MAIN_TITLE" visible 5000 | awk -F'\t' '{print $5}') ||
    fail "no visible main window for the screenshot $1"
  IFS=, read -r x y w h <<<"$rect"
  import -window root -crop "${w}x${h}+${x}+${y}" "$WORK/$1.png"
}

# A client pixel of a screenshot as "r,g,b".
pixel() { convert "$WORK/$1.png" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
# Takes screenshots with the script's own `shot` (bounded) until the pixel
# is, or is not ("!" first), the colour.
wait_pixel() {
  local name="$1" x="$2" y="$3" want="$4" i
  for i in $(seq 60); do
    shot "$name"
    if [ "${want:0:1}" = "!" ]; then
      [ "$(pixel "$name" "$x" "$y")" != "${want:1}" ] && return 0
    else
      [ "$(pixel "$name" "$x" "$y")" = "$want" ] && return 0
    fi
    sleep 0.1
  done
  fail "pixel $x,$y of $name stayed $(pixel "$name" "$x" "$y") (wanted $want)"
}

# Presses keys ($2, as xdotool names them) on the keyboard while the Wine
# window titled $1 has the keyboard focus: Wine hands global hotkeys on
# only then. The press waits (bounded) until X reports that focus, and is
# made once: a hotkey toggles, and a second press would undo the first.
# Fails when the window never took the focus.
press_keys_over() {
  local target i
  for i in $(seq 50); do
    target=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1) || true
    if [ -n "$target" ]; then
      xdotool windowfocus "$target" 2>/dev/null || true
      [ "$(xdotool getwindowfocus 2>/dev/null)" = "$target" ] && break
    fi
    target=""
    sleep 0.1
  done
  [ -n "$target" ] || return 1
  xdotool key "$2"
}

# The failure names the caller's line: a script waits for the window at
# several steps.
wait_main_window() {
  probe wait "$MAIN_CLASS" "$MAIN_TITLE" "$1" 40000 >/dev/null ||
    fail "no main window ($1) at ${BASH_SOURCE[1]##*/}:${BASH_LINENO[0]}"
}

# Clicks the caption's close glyph once the window is at rest, and again
# (bounded) while the window still shows. The glyph hides the window in the
# click's own handler, which has run when the probe's click returns: a
# window still shown then means the click was lost (taken before the first
# paint laid out the glyph), never that its handler is still to come.
CLOSE_GLYPH=(1055 27)
close_main_window() {
  local i
  wait_still "$MAIN_CLASS" "$MAIN_TITLE"
  for i in 1 2 3 4 5; do
    click_main "${CLOSE_GLYPH[@]}"
    probe wait "$MAIN_CLASS" "$MAIN_TITLE" hidden 2000 >/dev/null && return 0
  done
  fail "the close glyph did not hide the main window"
}

# A right click on the tray icon opens the tray menu (of one instance only:
# two menus open at once would close each other).
open_tray_menu() {
  probe post-one "$MAIN_CLASS" "$MAIN_TITLE" $WM_TRAY 0 $WM_RBUTTONUP >/dev/null || fail "no main window for the tray"
  probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null || fail "no tray menu"
}

# Clicks a row of the open tray menu. The menu takes its rows at its first
# paint, so the click is repeated (bounded) until the menu has closed.
click_tray_menu_row() {
  local i
  for i in 1 2 3 4 5 6 7 8 9 10; do
    probe post "$MENU_CLASS" "$MENU_TITLE" $WM_LBUTTONUP 0 "$1" >/dev/null || return 0
    probe gone "$MENU_CLASS" "$MENU_TITLE" 1000 && return 0
  done
  fail "tray menu row did not close the menu"
}

# One run that writes the stores in the program's own form: Tessik starts,
# shows its main window and $1 boxes, and is quit from the tray.
run_once_and_quit() {
  local pid
  start_tessik
  pid=$LAST_PID
  wait_main_window any
  wait_box_count "$1"
  quit_from_tray
  wait_exit "$pid"
  [ "$RC" = 0 ] || fail "quit exit code $RC"
}

# "退出" from the tray menu of every running Tessik, one at a time.
quit_from_tray() {
  local i
  for i in 1 2 3 4; do
    [ "$(probe count "$MAIN_CLASS" "$MAIN_TITLE")" = 0 ] && return 0
    # A menu that another window's activation closed at once is opened
    # again on the next round.
    probe post-one "$MAIN_CLASS" "$MAIN_TITLE" $WM_TRAY 0 $WM_RBUTTONUP >/dev/null || fail "no main window for the tray"
    if probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null; then
      click_tray_menu_row $TRAY_ROW_QUIT
    fi
    probe gone "$MAIN_CLASS" "$MAIN_TITLE" 1500 >/dev/null && return 0
  done
  fail "Tessik did not quit from the tray"
}

# "[module][YYYY/MM/DD HH:MM:SS][LEVEL] text" with CR LF.
LINE_RE='^\[[^]]*\]\[[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\]\[(INFO|WARNING|ERROR|FATAL)\] .*'$'\r''$'

# The box store with one folder box: id, title, folder (a Unix path).
seed_folder_box() {
  cat >"$DATA/DesktopContainer.kelm" <<KELM
Components{
    ComID_$1{
        id : "$1",
        x : 200,
        y : 100,
        cx : 420,
        cy : 520,
        title : "$2",
        clrtag : "#B0E0B0",
        UseTargetFolder : true,
        TargetFolder : "$(store_path "$3")"
    }
}
$OWN_ROOT
KELM
}

# Waits (bounded) for the first box window; its screen rectangle is left in
# bx, by, bw and bh.
wait_box_rect() {
  probe wait "Tessik.Kelm.Com.Container.Class.*" "Tessik.Com.Container" visible 20000 >/dev/null ||
    fail "no box window"
  local rect
  rect=$(probe list | grep -F "Tessik.Kelm.Com.Container.Class." | awk -F'\t' '{print $5}' | head -n1)
  IFS=, read -r bx by bw bh <<<"$rect"
  [ "${bw:-0}" -gt 0 ] && [ "${bh:-0}" -gt 0 ] || fail "no box rectangle: $rect"
}

# Closes the notices Tessik shows one after another ("#32770" titled
# "Tessik"); waits (bounded) for the first. Prints how many were closed.
close_notices() {
  local closed=0 i
  probe wait "#32770" "Tessik" visible 15000 >/dev/null || { echo 0; return 0; }
  for i in $(seq 10); do
    close_notice || break
    closed=$((closed + 1))
    probe wait "#32770" "Tessik" visible 1500 >/dev/null || break
  done
  echo "$closed"
}
# Closes the first notice and waits (bounded) until it is gone: the next
# notice takes the same class and title. Fails when there is none.
close_notice() {
  local handle j
  handle=$(probe list | awk -F'\t' '$1 == "#32770" && $2 == "Tessik" {print $6; exit}')
  [ -n "$handle" ] || return 1
  probe post "#32770" "Tessik" 16 0 0 >/dev/null || return 1
  for j in $(seq 100); do
    probe list | awk -F'\t' -v h="$handle" '$6 == h {found=1} END {exit !found}' || break
    sleep 0.1
  done
}

# Waits (bounded) until exactly $1 box windows exist.
BOX_PREFIX="Tessik.Kelm.Com.Container.Class."
# Waits (bounded) until a box window has the rectangle "x,y,w,h".
wait_box_at() {
  local i
  for i in $(seq 100); do
    probe list | grep -F "$BOX_PREFIX" | grep -qF "$1" && return 0
    sleep 0.1
  done
  fail "no box at $1: $(probe list | grep -F "$BOX_PREFIX")"
}

wait_box_count() {
  local i n=0
  for i in $(seq 100); do
    n=$(probe list | grep -cF "$BOX_PREFIX" || true)
    [ "$n" = "$1" ] && return 0
    sleep 0.2
  done
  fail "expected $1 box windows, found $n"
}

# Text with CR LF line ends, as the store writes its files.
crlf() { sed 's/$/\r/' | head -c -2; }

# One box object for "Components" at (x, 60), 300 by 300; the title is
# written as given (already in store syntax, without its quotes).
stored_box() {
  local id="$1" x="$2" title="$3"
  printf '    ComID_%s{\n        id : "%s",\n        x : %s,\n        y : 60,\n        cx : 300,\n        cy : 300,\n        title : "%s"\n    }' \
    "$id" "$id" "$x" "$title"
}
# DesktopContainer.kelm holding the given box objects, with CR LF lines.
seed_box_store() {
  printf 'Components{\n%s\n}\nTessikRef{\n    test : 0\n}\n' "$(join_members "$@")" | crlf > "$DATA/DesktopContainer.kelm"
}

# Waits (bounded) until a window of the class and title is shown, opaque,
# idle and its rectangle has stayed the same for three looks in a row: the
# drop-in, fade-in and zoom-in effects have ended and a click lands where
# the test aims. A class ending in "*" stands for every class with that start.
wait_still() {
  probe settled "$1" "$2" 40000 >/dev/null || fail "window $1 did not come to rest"
}

# The screen rectangle of the first window whose class starts with $1, in
# mx my mw mh.
menu_rect() {
  local rect
  rect=$(probe list | grep -F "$1" | awk -F'\t' '{print $5}' | head -n1)
  IFS=, read -r mx my mw mh <<<"$rect"
  [ "${mw:-0}" -gt 0 ] || fail "no window $1"
}

# Waits (bounded, 10 s) until the shell condition $1 holds.
wait_file() {
  local i
  for i in $(seq 100); do
    eval "$1" && return 0
    sleep 0.1
  done
  return 1
}

# Deletes the box's first icon for good through real keys and clicks:
# Ctrl+click selects it, Del asks how, one notch of the wheel turns the
# question to "彻底删除" and OK confirms. Needs bx, by (wait_box_rect); the
# question is kept as $WORK/$1.png.
# Selects the box's first icon with Ctrl+click and presses Del until the
# question how to delete stands still; sets its rectangle in px py pw ph.
# Needs bx, by (wait_box_rect).
ask_to_delete_first_icon() {
  local popup_class="Kelm.concept.PopupSel.Class" popup_title="Kelm.Test.concept.PopupSel"
  local asked=false rect
  # Del, held over the repaint its press causes, asks how to delete.
  for _ in 1 2 3 4 5; do
    xdotool mousemove $((bx + 60)) $((by + 90)) keydown ctrl click 1 keyup ctrl
    sleep 0.3
    xdotool keydown Delete
    sleep 0.4
    xdotool keyup Delete
    if probe wait "$popup_class" "$popup_title" visible 3000 >/dev/null; then
      asked=true
      break
    fi
  done
  $asked || fail "Del asked nothing: $(probe list)"
  wait_still "$popup_class" "$popup_title"
  rect=$(probe list | awk -F'\t' -v c="$popup_class" '$1 == c {print $5; exit}')
  IFS=, read -r px py pw ph <<<"$rect"
}

# Turns the choose-one question standing at x y w h to its next option
# with one notch of the wheel; the card eases there, and is left once its
# picture stands still.
turn_question_once() {
  local x="$1" y="$2" w="$3" h="$4" before
  before=$(screen_sum "$x" "$y" "$w" "$h")
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 4
  for _ in $(seq 50); do
    [ "$(screen_sum "$x" "$y" "$w" "$h")" != "$before" ] && break
    sleep 0.1
  done
  [ "$(screen_sum "$x" "$y" "$w" "$h")" != "$before" ] || fail "the wheel did not turn to the next option"
  wait_area_still "$x" "$y" "$w" "$h" || true
}

delete_first_icon_for_good() {
  local popup_class="Kelm.concept.PopupSel.Class" popup_title="Kelm.Test.concept.PopupSel"
  ask_to_delete_first_icon
  turn_question_once "$px" "$py" "$pw" "$ph"
  import -window root -crop "${pw}x${ph}+${px}+${py}" "$WORK/$1.png" 2>/dev/null || true
  xdotool mousemove $((px + pw - 60)) $((py + ph - 40)) click 1
  probe gone "$popup_class" "$popup_title" 10000 >/dev/null || fail "the question stayed open"
}

# Opens the "个性化" window of the box at bx by bw (wait_box_rect), the
# first row of the more menu's "设置" (row 2) submenu, and sets sx sy sw sh
# to its rectangle once it stands still.
BOX_SETTINGS_CLASS="Tessik.Container.Settings.Class"
BOX_SETTINGS_TITLE="收纳盒设置"
open_box_settings() {
  local SETTINGS_CLASS="$BOX_SETTINGS_CLASS" SETTINGS_TITLE="$BOX_SETTINGS_TITLE" SUB_CLASS="Kelm.Menu.Class.1*"
  xdotool mousemove $((bx + bw - 58)) $((by + 20)) click 1
  probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null || fail "no more menu"
  menu_rect "Kelm.Menu.Class.0"
  xdotool mousemove $((mx + 60)) $((my + 110))
  wait_still "$SUB_CLASS" "$MENU_TITLE"
  menu_rect "Kelm.Menu.Class.1"
  xdotool mousemove $((mx + 60)) $((my + 30)) click 1
  probe wait "$SETTINGS_CLASS" "$SETTINGS_TITLE" visible 10000 >/dev/null || fail "no settings window"
  wait_still "$SETTINGS_CLASS" "$SETTINGS_TITLE"
  IFS=, read -r sx sy sw sh <<<"$(probe list | awk -F'\t' -v c="$SETTINGS_CLASS" '$1 == c && $3 == 1 {print $5; exit}')"
}

# The lane prefix's own Desktop (scripts/setup.sh makes each user folder of
# a test prefix a folder of its own, not Wine's link to the host's home, so
# nothing a test sends there reaches the user's files): DESK on the host,
# DESK_WIN as the program names it.
prefix_desktop() {
  DESK=$(ls -d "$WINEPREFIX"/drive_c/users/*/Desktop | grep -v '/Public/' | head -n1)
  [ -d "$DESK" ] && [ ! -L "$DESK" ] || fail "the prefix's Desktop is no folder of its own: $DESK"
  DESK_WIN="C:\\users\\$(basename "$(dirname "$DESK")")\\Desktop"
}

# The quick panel's store listing the boxes $@ in that order.
seed_panel_order() {
  local i=0 id
  {
    echo "ListOrder{"
    for id in "$@"; do
      i=$((i + 1))
      if [ "$i" -lt "$#" ]; then echo "    $((i - 1)) : \"$id\","; else echo "    $((i - 1)) : \"$id\""; fi
    done
    printf '}\nTessikRef{\n    test : 0\n}\n'
  } >"$DATA/QuickPanelCom.kelm"
}

# Starts Tessik and drops $OLD/$1 from another process onto its one box,
# whose folder is $FOLDER; waits until the file moved in with $OLD as its
# recorded origin, then takes $OLD away, as a box deleted with its folder.
# Sets pid and the box's rectangle.
drop_in_from_gone_box() {
  local name="$1" out
  start_tessik
  pid=$LAST_PID
  wait_main_window any
  wait_box_rect
  wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
  out=$(wine "$(dirname "$PROBE_EXE")/DropSource.exe" $((bx + bw / 2)) $((by + bh / 2)) "$(win_path "$OLD/$name")" 2>/dev/null | tr -d '\r') ||
    fail "the drop did not happen: $out"
  wait_file '[ -f "$FOLDER/$name" ] && [ ! -e "$OLD/$name" ]' || fail "$name did not move in: $(ls "$FOLDER")"
  wait_file 'grep -qF "originalPath : \"$(store_path "$OLD/$name")\"" "$DATA/DesktopContainer.kelm"' ||
    fail "no original path stored: $(grep -F "$name" "$DATA/DesktopContainer.kelm")"
  rm -rf "$OLD"
}
