#!/usr/bin/env bash
# "解散并归位" of a box whose file another program holds open (read, never
# deleted): the file stays in the box with its icon and the box stays, no
# copy of it is left at home, and the notice names the reason. Once the
# program lets go, a second disband takes it home once: no numbered
# second copy beside the first. A real drop gives the file its recorded
# origin; the real "..." menu and its question disband the box.
source "$(dirname "$0")/lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"
HOLD_EXE="$(dirname "$PROBE_EXE")/HoldFile.exe"

ROOT="$WORK/boxes"
FOLDER="$ROOT/s2222"
HOME_DIR="$WORK/home"
mkdir -p "$FOLDER" "$HOME_DIR"
printf 'held\n' >"$HOME_DIR/held.txt"
seed_app_store "containerDir : \"$(store_path "$ROOT")\"" "showTessikMain : false"
seed_folder_box s2222 "SmallDisk" "$FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"

out=$(wine_read "$DROP_EXE" $((bx + bw / 2)) $((by + bh / 2)) "$(win_path "$HOME_DIR/held.txt")") ||
  fail "the drop did not happen: $out"
wait_file '[ -f "$FOLDER/held.txt" ] && [ ! -e "$HOME_DIR/held.txt" ]' || fail "held.txt did not move in: $(ls "$FOLDER")"
wait_file 'grep -qF "originalPath : \"$(store_path "$HOME_DIR/held.txt")\"" "$DATA/DesktopContainer.kelm"' ||
  fail "no original path stored: $(grep -F held.txt "$DATA/DesktopContainer.kelm")"

# Another program opens the file and keeps it open. Wine may end a program
# at its start on a loaded machine: it is started again then.
RELEASE="$WORK/release"
rm -f "$RELEASE"
for _ in 1 2 3; do
  wine "$HOLD_EXE" "$(win_path "$FOLDER/held.txt")" "$(win_path "$RELEASE")" >"$WORK/hold.out" 2>/dev/null &
  hold_pid=$!
  wait_file 'grep -q "^held" "$WORK/hold.out" || ! kill -0 $hold_pid 2>/dev/null' || true
  grep -q "^held" "$WORK/hold.out" && break
done
grep -q "^held" "$WORK/hold.out" || fail "the file could not be held: $(cat "$WORK/hold.out")"

# "..." (65 DIPs from the title band's right edge), then "删除" (row 3),
# then the question's first option, "解散并归位", and OK.
disband() {
  xdotool mousemove $((bx + bw - 58)) $((by + 20)) click 1
  probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null || fail "no more menu"
  wait_still "$MENU_CLASS" "$MENU_TITLE"
  menu_rect "Kelm.Menu.Class.0"
  xdotool mousemove $((mx + 60)) $((my + 150)) click 1
  probe wait "$POPUP_CLASS" "$POPUP_TITLE" visible 10000 >/dev/null || fail "the delete asked nothing"
  wait_still "$POPUP_CLASS" "$POPUP_TITLE"
  menu_rect "$POPUP_CLASS"
  xdotool mousemove $((mx + mw - 60)) $((my + mh - 40)) click 1
  probe gone "$POPUP_CLASS" "$POPUP_TITLE" 10000 >/dev/null || fail "the question stayed open"
}
POPUP_CLASS="Kelm.concept.PopupSel.Class"
POPUP_TITLE="Kelm.Test.concept.PopupSel"

disband
[ "$(close_notices)" -ge 1 ] || fail "nobody was told that held.txt stayed"
touch "$RELEASE"
wait "$hold_pid" 2>/dev/null || true
[ -f "$FOLDER/held.txt" ] || fail "the held file left the box: $(ls -A "$FOLDER")"
[ ! -e "$HOME_DIR/held.txt" ] || fail "a second copy of the held file was left at home"
grep -h "held.txt" "$DATA"/logs/* | grep -qF "文件正被其他程序使用" ||
  fail "the notice does not name the reason: $(grep -h held.txt "$DATA"/logs/*)"
! grep -h "held.txt" "$DATA"/logs/* | grep -qF "链接" || fail "the notice speaks of links: $(grep -h held.txt "$DATA"/logs/*)"
wait_box_count 1
grep -qF "held.txt" "$DATA/DesktopContainer.kelm" || fail "the held file's record left"

# Let go: the second disband takes it home once, and the box goes.
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
disband
wait_file '[ -f "$HOME_DIR/held.txt" ]' || fail "held.txt did not go home: $(ls -A "$HOME_DIR")"
[ "$(cat "$HOME_DIR/held.txt")" = held ] || fail "held.txt changed on its way"
[ "$(ls -A "$HOME_DIR")" = held.txt ] || fail "more than one copy at home: $(ls -A "$HOME_DIR")"
wait_file '[ ! -e "$FOLDER" ]' || fail "the emptied box folder stayed: $(ls -A "$FOLDER")"
wait_box_count 0

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
