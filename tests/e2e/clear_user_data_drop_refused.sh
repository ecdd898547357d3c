#!/usr/bin/env bash
# "清除用户数据", the shell's recycle question answered No: while the warning
# about the kept copy is open, a file dropped onto the folder box is
# refused (no same-name question, nothing replaced, the source keeps it)
# and told; after the clearing nothing is left in the box root's temporary
# folder.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"

seed_readme_box
LATE="$WORK/late"
mkdir -p "$LATE"
printf 'the late readme\n' >"$LATE/readme.md"

open_settings_page
replace_readme_by_drop

start_clearing_user_data
# The shell's question answered No: the kept copy comes into view and the
# warning stays open.
LOG="$DATA/logs/${TODAY}_00.txt"
warned=false
for _ in $(seq 300); do
  title=$(probe list | awk -F'\t' '$1 == "#32770" && $2 ~ /^Confirm/ {print $2; exit}')
  [ -z "$title" ] || probe post "#32770" "$title" 273 7 0 >/dev/null || true # IDNO
  if grep -q 'Before clearing user data' "$LOG" 2>/dev/null; then
    warned=true
    break
  fi
  sleep 0.1
done
$warned || fail "no warning about the kept copy"
probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "the warning is not shown"

wine "$DROP_EXE" $((bx + bw / 2)) $((by + bh / 2)) "$(win_path "$LATE/readme.md")" >"$WORK/late.txt" 2>/dev/null &
drop_pid=$!
refused=false
for _ in $(seq 300); do
  if probe count "$POPUP_CLASS" "$POPUP_TITLE" | grep -qv '^0$'; then
    popup_ok 1 # 直接覆盖, as the user did
    break
  fi
  if grep -q '正在清除用户数据' "$LOG" 2>/dev/null; then
    refused=true
    break
  fi
  sleep 0.1
done
wait "$drop_pid" || true

answer_messages_until_exit "$pid" 7 # IDNO
wait_exit "$pid"

[ "$(cat "$PROJECTS/readme.md")" = "the new readme" ] || fail "the box's file was replaced during the clearing"
[ "$(cat "$LATE/readme.md")" = "the late readme" ] || fail "the late drop's source lost its file"
[ -z "$(ls -A "$WORK/boxes/.data/.temp" 2>/dev/null)" ] || fail "the temporary folder still holds: $(ls -A "$WORK/boxes/.data/.temp")"
grep -rlx 'the old readme' "$PROJECTS" "$WORK/boxes" >/dev/null || fail "the kept readme.md is nowhere in view"
$refused || fail "the drop during the warning was not refused and told"
echo "PASS"
