#!/usr/bin/env bash
# A damaged TempFolders.list names a user's folder, the box root (the real
# line cut short at its backslash), a user's own "X\.data\.temp" with an
# empty lock beside it, and the box root's temporary folder only through a
# link: a real start sends nothing of the user's anywhere, removes no lock
# of theirs, no notice claims their files as kept for undo or speaks of a
# run that ended, and the run's own lock stays in place. The box root's real
# temporary folder is still swept: its kept copy goes to the Recycle Bin,
# and only it is told.
source "$(dirname "$0")/lib.sh"
TRASH="${XDG_DATA_HOME:?}/Trash/files"

DOCS="$WORK/Documents"
BOXES="$WORK/boxes"
MINE="$WORK/mine"
mkdir -p "$DOCS" "$BOXES/kept" "$BOXES/.data/.temp" "$TRASH" "$MINE/.data/.temp" "$MINE/.data/.temp-in-use"
ln -sfn "$BOXES" "$WORK/alias"
printf 'mine, named like a copy\n' >"$MINE/.data/.temp/draft.txt1a2b.tmp"
: >"$MINE/.data/.temp-in-use/123-1.lock"
printf 'my report\n' >"$DOCS/report.docx"
printf 'named like a copy\n' >"$DOCS/notes.txt1a2b.tmp"
printf 'in the box\n' >"$BOXES/plan.txt"
printf 'in a folder\n' >"$BOXES/kept/inner.txt"
printf 'kept for undo\n' >"$BOXES/.data/.temp/old.txt1a2b.tmp"
rm -rf "$TRASH"/* "${TRASH%files}info"/*

seed_app_store "containerDir : \"$(store_path "$BOXES")\""
printf '%s\r\n%s\r\n%s\\\r\n%s\r\n' "$(win_path "$WORK/alias/.data/.temp")" "$(win_path "$DOCS")" \
  "$(win_path "$BOXES")" "$(win_path "$MINE/.data/.temp")" >"$DATA/TempFolders.list"

start_tessik
pid=$LAST_PID
wait_main_window any
LOG="$DATA/logs/${TODAY}_00.txt"
# The sweep has run once its notice is logged; the shell may ask before it
# recycles.
for _ in $(seq 300); do
  grep -q '为撤销保留的文件' "$LOG" 2>/dev/null && break
  probe list | awk -F'\t' '$1 == "#32770" && $2 ~ /^Confirm/ {print $2}' | while read -r title; do
    probe post "#32770" "$title" 273 6 0 >/dev/null || true # IDYES
  done || true
  sleep 0.1
done
[ "$(cat "$DOCS/report.docx")" = "my report" ] || fail "report.docx left the user's folder"
[ "$(cat "$DOCS/notes.txt1a2b.tmp")" = "named like a copy" ] || fail "notes.txt1a2b.tmp left the user's folder"
[ "$(cat "$BOXES/plan.txt")" = "in the box" ] || fail "plan.txt left the box folder"
[ "$(cat "$BOXES/kept/inner.txt")" = "in a folder" ] || fail "a folder left the box folder"
[ "$(cat "$MINE/.data/.temp/draft.txt1a2b.tmp")" = "mine, named like a copy" ] || fail "a user's own .temp was swept"
[ -e "$MINE/.data/.temp-in-use/123-1.lock" ] || fail "a lock file in a user's folder was removed"
[ "$(ls -A "$TRASH")" = old.txt ] || fail "the Recycle Bin took: $(ls -A "$TRASH")"
notice=$(grep '为撤销保留的文件' "$LOG" || true)
grep -q '“old.txt”' <<<"$notice" || fail "the kept copy's sweep was not told: $notice"
! grep -q 'report\|notes\|plan\|inner\|kept“\|draft' <<<"$notice" || fail "a notice claims the user's files: $notice"
! grep -q '没有正常退出' "$LOG" || fail "a lock in a user's folder was told as a run that ended"
ls "$BOXES"/.data/.temp-in-use/*.lock >/dev/null 2>&1 || fail "the run's own lock is gone: $(ls -aR "$BOXES")"
grep -q "left alone: $(win_path "$DOCS" | sed 's|\\|\\\\|g')" "$LOG" || fail "the user's folder on the list was not logged"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code ($RC)"
[ "$(cat "$DOCS/report.docx")" = "my report" ] || fail "report.docx left after the quit"
echo "PASS"
