# Shared steps of the settings page scripts; sourced after lib.sh.
# Client points at DPI 96 in the 1080 x 720 window: the tab column is 270
# wide, so a page x of TW + n is 270 + n.
TAB_SETTINGS=(100 170)
POPUP_CLASS="Kelm.concept.PopupSel.Class"
POPUP_TITLE="Kelm.Test.concept.PopupSel"
WM_MOUSEWHEEL=522
# One wheel notch away from the user scrolls the page 27 DIPs down.
NOTCH_DOWN=$((-120 * 65536))
NOTCH_UP=$((120 * 65536))

# Starts Tessik (its pid in pid), opens the settings page and takes the
# screenshot settings_top.
open_settings_page() {
  start_tessik
  pid=$LAST_PID
  wait_main_window visible
  click_tab "${TAB_SETTINGS[@]}"
  shot_still settings_top
}

# The bound is wide: a suite starting eight Wine programs at once once kept
# the probe from seeing the main window within 5 s.
main_rect() { probe wait "$MAIN_CLASS" "$MAIN_TITLE" visible 20000 | awk -F'\t' '{print $5}'; }

click() { probe click "$MAIN_CLASS" "$MAIN_TITLE" "$1" "$2" >/dev/null || fail "click at $1,$2"; }
# A click whose handler opens a modal window: the probe's click returns
# only when the handler does, so it runs beside the script.
click_modal() {
  probe click "$MAIN_CLASS" "$MAIN_TITLE" "$1" "$2" >/dev/null 2>&1 &
  CLICK_PID=$!
}
# A click that opens a modal window of the class and title, clicked again
# (bounded) when it was lost: a click that lands while the page still
# animates finds no button under the pointer, and its handler returns at
# once. A handler still running has its window coming: no second click.
click_for_window() {
  local x="$1" y="$2" class="$3" title="$4" i
  for i in 1 2 3 4; do
    click_modal "$x" "$y"
    probe wait "$class" "$title" visible 6000 >/dev/null && return 0
    if runs "$CLICK_PID"; then
      probe wait "$class" "$title" visible 20000 >/dev/null
      return
    fi
  done
  return 1
}

# Turns the wheel over the page n notches (down, or up with "up").
wheel() {
  local n="$1" delta=$NOTCH_DOWN mx my mw mh
  [ "${2:-down}" = up ] && delta=$NOTCH_UP
  IFS=, read -r mx my mw mh <<<"$(main_rect)"
  # Sent, not posted: each notch is taken before the next and before the
  # screenshots that wait for the page to rest.
  probe send "$MAIN_CLASS" "$MAIN_TITLE" $WM_MOUSEWHEEL $delta $((mx + 900 + (my + 650) * 65536)) "$n" >/dev/null ||
    fail "the main window did not take $n wheel notches"
}

# Screenshot of the main window, taken again (bounded) until two in a row
# are the same: the scroll animation has ended. With a second argument,
# the name of an earlier screenshot, it first waits until the page has
# changed from it (the wheel has been taken).
shot_still() {
  local name="$1" rect x y w h last="" now i
  if [ -n "${2:-}" ]; then
    last=$(md5sum <"$WORK/$2.png")
    for i in $(seq 50); do
      IFS=, read -r x y w h <<<"$(main_rect)"
      import -window root -crop "${w}x${h}+${x}+${y}" "$WORK/$name.png"
      [ "$(md5sum <"$WORK/$name.png")" != "$last" ] && break
      sleep 0.1
    done
    last=""
  fi
  # On a busy machine a slow animation can leave two frames alike: the
  # page is at rest only after four alike in a row.
  local same=0
  for i in $(seq 80); do
    rect=$(main_rect)
    IFS=, read -r x y w h <<<"$rect"
    import -window root -crop "${w}x${h}+${x}+${y}" "$WORK/$name.png"
    now=$(md5sum <"$WORK/$name.png")
    if [ "$now" = "$last" ]; then
      same=$((same + 1))
      [ "$same" -ge 3 ] && return 0
    else
      same=0
    fi
    last="$now"
    sleep 0.1
  done
  fail "the settings page did not come to rest ($name)"
}

# A key of "TessikRef" in Tessik.kelm as written (empty when absent).
stored_setting() { tr -d '\r' <"${2:-$DATA/Tessik.kelm}" | sed -n "s/^ *$1 : \(.*\)$/\1/p" | sed 's/,$//'; }

# Picks the option at the wheel step n (0 the first, 1 the one after) of
# the open choose-one popup and presses its OK.
popup_ok() {
  local steps="$1" rect x y w h i
  wait_still "$POPUP_CLASS" "$POPUP_TITLE"
  rect=$(probe list | awk -F'\t' -v c="$POPUP_CLASS" '$1 == c {print $5; exit}')
  IFS=, read -r x y w h <<<"$rect"
  popup_shot() { import -window root -crop "${w}x${h}+${x}+${y}" "$WORK/popup.png"; md5sum <"$WORK/popup.png"; }
  for i in $(seq "$steps"); do
    local before
    before=$(popup_shot)
    probe post "$POPUP_CLASS" "$POPUP_TITLE" $WM_MOUSEWHEEL $NOTCH_UP $((x + w / 2 + (y + h / 2) * 65536)) >/dev/null
    # The card shows the next option before OK is pressed.
    for _ in $(seq 50); do
      [ "$(popup_shot)" != "$before" ] && break
      sleep 0.1
    done
  done
  probe click "$POPUP_CLASS" "$POPUP_TITLE" $((w - 60)) $((h - 40)) >/dev/null 2>&1 &
}

# A folder box "Projects" on $WORK/Projects holding "the old readme", a
# "the new readme" waiting in $WORK/source, and $WORK/boxes as the box
# root, left of the main window (which opens centred) so that a drop
# reaches the box. Sets PROJECTS and SOURCE; the store is seeded, nothing
# runs yet.
seed_readme_box() {
  PROJECTS="$WORK/Projects"
  SOURCE="$WORK/source"
  mkdir -p "$PROJECTS" "$SOURCE" "$WORK/boxes"
  printf 'the old readme\n' >"$PROJECTS/readme.md"
  printf 'the new readme\n' >"$SOURCE/readme.md"
  seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\""
  seed_folder_box e4949 "Projects" "$PROJECTS"
  sed -i 's/x : 200,/x : 10,/' "$DATA/DesktopContainer.kelm"
}

# The new readme.md dropped from another process onto the box of
# seed_readme_box and answered "直接覆盖": the box's readme.md is replaced
# and the old one kept for undo in the box root's temporary folder.
replace_readme_by_drop() {
  wait_box_rect
  drop_for_window "$POPUP_CLASS" "$POPUP_TITLE" $((bx + bw / 2)) $((by + bh / 2)) "$(win_path "$SOURCE/readme.md")" ||
    fail "no same-name question: $(cat "$WORK/drop.txt")"
  popup_ok 1 # 直接覆盖
  for _ in $(seq 200); do
    [ "$(cat "$PROJECTS/readme.md")" = "the new readme" ] && break
    sleep 0.1
  done
  [ "$(cat "$PROJECTS/readme.md")" = "the new readme" ] || fail "the drop did not replace readme.md"
  [ -n "$(ls -A "$WORK/boxes/.data/.temp" 2>/dev/null)" ] || fail "nothing was kept for undo"
  probe gone "$POPUP_CLASS" "$POPUP_TITLE" 10000 || fail "the same-name question stayed"
}

# Answers every message of the program as it comes until the program $1
# ends: the shell's recycle questions with $2 (6 IDYES, 7 IDNO), the
# program's own by closing them.
answer_messages_until_exit() {
  local program="$1" answer="$2"
  for _ in $(seq 300); do
    kill -0 "$program" 2>/dev/null || break
    # The program may end between two looks: a list that finds nothing then
    # is no failure, the loop's next test of the process ends it.
    { probe list || true; } | awk -F'\t' '$1 == "#32770" {print $2}' | while read -r title; do
      case "$title" in
      Confirm*) probe post "#32770" "$title" 273 "$answer" 0 >/dev/null || true ;;
      Tessik) probe post "#32770" "Tessik" "$WM_CLOSE" 0 0 >/dev/null || true ;;
      esac
    done
    sleep 0.1
  done
}

# "清除用户数据" clicked and its question answered: the word on the boxes'
# folder that stays is shown and confirmed with OK.
start_clearing_user_data() {
  click_for_window 500 454 "$POPUP_CLASS" "$POPUP_TITLE" || fail "no question before clearing" # 清除用户数据
  popup_ok 0
  probe wait "#32770" "清除" visible 15000 >/dev/null || fail "no word on the boxes' folder that stays"
  wait_still "#32770" "清除"
  probe post "#32770" "清除" 273 1 0 >/dev/null # WM_COMMAND IDOK
}
