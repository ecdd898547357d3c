#!/usr/bin/env bash
# Stores as a user may have them: a box title with a quote before its line
# break keeps both boxes; a store that does not parse is kept in numbered
# ".bak" copies (never overwritten), logged and told once in a readable
# message box; a start that changes nothing leaves a store's bytes and time
# alone.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\""
seed_box_store "$(stored_box a1111 40 'say \"hi\"
ok')" "$(stored_box b2222 400 second)"
damaged='TessikRef{ enabled ! }'
printf '%s' "$damaged" > "$DATA/MagnetCom.kelm"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 2
probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "the damaged store was not told"
import -window root "$WORK/notice.png" 2>/dev/null || true
# The notice can be read: it says what happened, in a font that has a
# glyph for each of its characters (else Wine draws empty boxes).
notice=$(probe item-text "#32770" "Tessik" 65535)
[[ "$notice" == *以下设置文件已损坏* ]] || fail "notice text: $notice"
probe message-font-covers "$notice" >/dev/null ||
  fail "message boxes cannot draw the notice: $(probe message-font-covers "$notice")"
[ "$(close_notices)" = 1 ] || fail "the damaged store was not told exactly once"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"

grep -q 'ComID_a1111' "$DATA/DesktopContainer.kelm" && grep -q 'ComID_b2222' "$DATA/DesktopContainer.kelm" \
  || fail "a box was lost: $(cat "$DATA/DesktopContainer.kelm")"
grep -q 'title : ~"say ' "$DATA/DesktopContainer.kelm" || fail "the first title was lost"
[ "$(cat "$DATA/MagnetCom.kelm.1.bak")" = "$damaged" ] || fail "the damaged original was not kept in .1.bak"
log="$DATA/logs/${TODAY}_00.txt"
grep -q '\]\[WARNING\] Could not read .*MagnetCom.kelm completely; its original bytes are kept in .*MagnetCom.kelm.1.bak' "$log" \
  || fail "no WARNING line naming the copy: $(cat "$log")"

# A later damage gets the next number; the earlier copy stays. The settings
# file, which this start does not change, keeps its bytes and its time.
printf '%s' "Other{ x ! }" > "$DATA/MagnetCom.kelm"
touch -d '-1 day' "$DATA/Tessik.kelm"
before=$(stat -c '%Y %s' "$DATA/Tessik.kelm")
sum=$(md5sum < "$DATA/Tessik.kelm")
start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 2
[ "$(close_notices)" = 1 ] || fail "the second damage was not told"
quit_from_tray
wait_exit "$pid"
[ "$(cat "$DATA/MagnetCom.kelm.1.bak")" = "$damaged" ] || fail "the first copy was overwritten"
[ "$(cat "$DATA/MagnetCom.kelm.2.bak")" = "Other{ x ! }" ] || fail "the second damage was not kept in .2.bak"
[ "$(stat -c '%Y %s' "$DATA/Tessik.kelm")" = "$before" ] && [ "$(md5sum < "$DATA/Tessik.kelm")" = "$sum" ] \
  || fail "a start that changes nothing rewrote Tessik.kelm"
echo "PASS"
