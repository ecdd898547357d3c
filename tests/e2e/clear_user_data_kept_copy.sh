#!/usr/bin/env bash
# A folder box showing "Projects" takes a dropped readme.md answered
# "直接覆盖"; then "清除用户数据": the replaced readme.md, kept for undo, is
# in the Recycle Bin (or in view) before the program ends, and the box
# folder's temporary folder holds nothing.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"
TRASH="${XDG_DATA_HOME:?}/Trash/files"
mkdir -p "$TRASH"
rm -rf "$TRASH"/readme* "${TRASH%files}info"/readme*

seed_readme_box
open_settings_page
replace_readme_by_drop

start_clearing_user_data
# The shell may ask before it recycles.
answer_messages_until_exit "$pid" 6 # IDYES
wait_exit "$pid"

kept=$(grep -rlx 'the old readme' "$TRASH" "$PROJECTS" "$WORK/boxes" 2>/dev/null | grep -v '/\.data/' || true)
[ -n "$kept" ] || fail "the replaced readme.md is nowhere in view: $(ls -R "$WORK/boxes" "$TRASH")"
echo "kept: $kept"
[ -z "$(ls -A "$WORK/boxes/.data/.temp" 2>/dev/null)" ] || fail "the temporary folder still holds: $(ls -A "$WORK/boxes/.data/.temp")"
[ "$(cat "$PROJECTS/readme.md")" = "the new readme" ] || fail "the box's file changed"
echo "PASS"
