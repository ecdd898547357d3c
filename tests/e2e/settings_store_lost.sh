#!/usr/bin/env bash
# A data folder in use that lost "Tessik.kelm" (deleted, or a folder put in
# its place) is not a first start: the boxes of the other stores appear,
# the user is told, the box store is not changed, no new box root is
# chosen, and the automatic node is set aside where no later tick reaches.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\""
seed_box_store "$(stored_box a1111 40 First)" "$(stored_box b2222 400 Second)"
AUTO="$DATA/Backups/AutoBackup"

# One start leaves the stores in the program's own form; the automatic node
# holds them.
run_once_and_quit 2
mkdir -p "$AUTO"
cp "$DATA"/*.kelm "$AUTO/"
boxes=$(md5sum < "$DATA/DesktopContainer.kelm")

# Starts with Tessik.kelm lost; the first notice is left in $notice.
start_without_settings() {
  start_tessik
  pid=$LAST_PID
  wait_main_window any
  wait_box_count 2
  probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "$1: the user was not told"
  notice=$(probe item-text "#32770" "Tessik" 65535)
  [ "$(close_notices)" -ge 1 ] || fail "$1: no notice to close"
  quit_from_tray
  wait_exit "$pid"
  [ "$RC" = 0 ] || fail "$1: quit exit code $RC"
  [ "$(md5sum < "$DATA/DesktopContainer.kelm")" = "$boxes" ] || fail "$1: the box store changed"
}

rm "$DATA/Tessik.kelm"
mkdir "$DATA/Tessik.kelm"
start_without_settings "a folder in its place"
[[ "$notice" == *Tessik.kelm* ]] || fail "the notice does not name Tessik.kelm: $notice"
[ -d "$DATA/Tessik.kelm" ] || fail "the folder in place of Tessik.kelm was replaced"

rmdir "$DATA/Tessik.kelm"
start_without_settings "deleted"
[[ "$notice" == *以下设置文件已损坏或缺失* && "$notice" == *Tessik.kelm* ]] || fail "notice text: $notice"
! grep -q 'containerDir' "$DATA/Tessik.kelm" || fail "a new box root was chosen: $(cat "$DATA/Tessik.kelm")"
kept=$(ls -d "$DATA"/Backups/UserBackups/bk_*_auto 2>/dev/null | head -n1)
[ -n "$kept" ] && cmp -s "$AUTO/DesktopContainer.kelm" "$kept/DesktopContainer.kelm" ||
  fail "the automatic node was not set aside"
echo "PASS"
