#!/usr/bin/env bash
# A folder box showing "Projects" takes a dropped readme.md answered
# "直接覆盖"; then "清除用户数据": the replaced readme.md, kept for undo, is
# in the Recycle Bin (or in view) before the program ends, and the box
# folder's temporary folder holds nothing.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"
TRASH="${XDG_DATA_HOME:?}/Trash/files"

PROJECTS="$WORK/Projects"
SOURCE="$WORK/source"
mkdir -p "$PROJECTS" "$SOURCE" "$WORK/boxes" "$TRASH"
rm -rf "$TRASH"/readme* "${TRASH%files}info"/readme*
printf 'the old readme\n' >"$PROJECTS/readme.md"
printf 'the new readme\n' >"$SOURCE/readme.md"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\""
seed_folder_box e4949 "Projects" "$PROJECTS"
# Left of the main window, which opens centred: the drop reaches the box.
sed -i 's/x : 200,/x : 10,/' "$DATA/DesktopContainer.kelm"

open_settings_page
wait_box_rect
wine "$DROP_EXE" $((bx + bw / 2)) $((by + bh / 2)) "$(win_path "$SOURCE/readme.md")" >"$WORK/drop.txt" 2>/dev/null &
probe wait "$POPUP_CLASS" "$POPUP_TITLE" visible 30000 >/dev/null || fail "no same-name question"
popup_ok 1 # 直接覆盖
for _ in $(seq 200); do
  [ "$(cat "$PROJECTS/readme.md")" = "the new readme" ] && break
  sleep 0.1
done
[ "$(cat "$PROJECTS/readme.md")" = "the new readme" ] || fail "the drop did not replace readme.md"
[ -n "$(ls -A "$WORK/boxes/.data/.temp" 2>/dev/null)" ] || fail "nothing was kept for undo"

click_for_window 500 454 "$POPUP_CLASS" "$POPUP_TITLE" || fail "no question before clearing" # 清除用户数据
popup_ok 0
probe wait "#32770" "清除" visible 15000 >/dev/null || fail "no word on the boxes' folder that stays"
wait_still "#32770" "清除"
probe post "#32770" "清除" 273 1 0 >/dev/null # WM_COMMAND IDOK
# The shell may ask before it recycles; every message of the program is
# closed as it comes, until the program ends.
for _ in $(seq 300); do
  kill -0 "$pid" 2>/dev/null || break
  # The program may end between two looks: a list that finds nothing then
  # is no failure, the loop's next test of the process ends it.
  { probe list || true; } | awk -F'\t' '$1 == "#32770" {print $2}' | while read -r title; do
    case "$title" in
    Confirm*) probe post "#32770" "$title" 273 6 0 >/dev/null ;; # IDYES
    Tessik) probe post "#32770" "Tessik" "$WM_CLOSE" 0 0 >/dev/null ;;
    esac
  done
  sleep 0.1
done
wait_exit "$pid"

kept=$(grep -rlx 'the old readme' "$TRASH" "$PROJECTS" "$WORK/boxes" 2>/dev/null | grep -v '/\.data/' || true)
[ -n "$kept" ] || fail "the replaced readme.md is nowhere in view: $(ls -R "$WORK/boxes" "$TRASH")"
echo "kept: $kept"
[ -z "$(ls -A "$WORK/boxes/.data/.temp" 2>/dev/null)" ] || fail "the temporary folder still holds: $(ls -A "$WORK/boxes/.data/.temp")"
[ "$(cat "$PROJECTS/readme.md")" = "the new readme" ] || fail "the box's file changed"
echo "PASS"
