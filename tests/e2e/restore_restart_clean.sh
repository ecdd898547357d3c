#!/usr/bin/env bash
# A restore restarts the program: that end is the program's own. A copy
# kept for undo ("直接覆盖" of a dropped file) goes to the Recycle Bin
# before the restart, and the next start does not say that Tessik did not
# end normally.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"
TRASH="${XDG_DATA_HOME:?}/Trash/files"
mkdir -p "$TRASH"
rm -rf "$TRASH"/* "${TRASH%files}info"/*

seed_readme_box
NODE="$DATA/Backups/UserBackups/bk_2024_01_02_03_04"
mkdir -p "$NODE"
cp "$DATA"/*.kelm "$NODE/"

open_settings_page
replace_readme_by_drop

wheel 20
shot_still settings_middle settings_top
click_for_window 540 427 "$POPUP_CLASS" "$POPUP_TITLE" || fail "no restore chooser" # 恢复
popup_ok 1 # the manual node
probe wait "#32770" "恢复" visible 15000 >/dev/null || fail "the restore was not told"
probe post "#32770" "恢复" "$WM_CLOSE" 0 0 >/dev/null
# The shell may ask before it recycles the kept copy.
for _ in $(seq 300); do
  runs "$pid" || break
  probe list | awk -F'\t' '$1 == "#32770" && $2 ~ /^Confirm/ {print $2}' | while read -r title; do
    probe post "#32770" "$title" 273 6 0 >/dev/null || true # IDYES
  done || true
  sleep 0.1
done
wait_exit "$pid"
[ "$RC" = 0 ] || fail "the restoring process ended with $RC"
wait_main_window visible
LOG="$DATA/logs/${TODAY}_01.txt"
for _ in $(seq 100); do
  grep -q 'Tessik started' "$LOG" 2>/dev/null && break
  sleep 0.1
done
# The start's sweep marks the box root's temporary folder with a lock of
# the new run's (the restoring run removed its own on the way out).
for _ in $(seq 100); do
  ls "$WORK/boxes/.data/.temp-in-use/"*.lock >/dev/null 2>&1 && break
  sleep 0.1
done
ls "$WORK/boxes/.data/.temp-in-use/"*.lock >/dev/null 2>&1 || fail "the new run has not marked its temporary folder"
grep -rlx 'the old readme' "$TRASH" "$PROJECTS" >/dev/null || fail "the kept readme.md is nowhere in view"

quit_from_tray
probe gone "$MAIN_CLASS" "$MAIN_TITLE" 20000 || fail "the restarted Tessik did not quit"
# Every line of the new run is in its log once it has quit.
for _ in $(seq 100); do
  grep -q 'Quit from the tray' "$LOG" && break
  sleep 0.1
done
grep -q 'Quit from the tray' "$LOG" || fail "the restarted run's log did not reach its quit"
! grep -q '上次没有正常退出' "$LOG" || fail "the next start took the restart for a crash: $(grep '上次' "$LOG")"
echo "PASS"
