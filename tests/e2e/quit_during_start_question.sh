#!/usr/bin/env bash
# The start asks the shell to recycle what an earlier run kept for undo,
# and the shell asks the user first. A quit from the tray while that
# question is open ends the program's message loop before its notice of
# what the start did could be shown: it is shown before the program ends,
# never only logged.
source "$(dirname "$0")/lib.sh"
TRASH="${XDG_DATA_HOME:?}/Trash/files"

BOXES="$WORK/boxes"
mkdir -p "$BOXES/.data/.temp" "$TRASH"
printf 'kept for undo\n' >"$BOXES/.data/.temp/old.txt1a2b.tmp"
rm -rf "$TRASH"/* "${TRASH%files}info"/*
seed_app_store "containerDir : \"$(store_path "$BOXES")\""

start_tessik
pid=$LAST_PID
asked=""
for _ in $(seq 300); do
  asked=$(probe list | awk -F'\t' '$1 == "#32770" && $2 ~ /^Confirm/ {print $2; exit}')
  [ -n "$asked" ] && break
  sleep 0.1
done
[ -n "$asked" ] || fail "the shell did not ask before recycling the kept copy"
quit_from_tray
probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "the start's notice was not shown before the end"
text=$(probe children "#32770" "Tessik" 2>&1 || true)
grep -q '为撤销保留' <<<"$text" || fail "another notice than the start's: $text"
close_notice || fail "the notice could not be closed"
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code ($RC)"
echo "PASS"
