#!/usr/bin/env bash
# A real drop of another box's folder, reached through a second drive
# letter, onto a folder box: the folder stays with its box, untouched, the
# user is told, and nothing arrives in the box it was dropped on.
source "$(dirname "$0")/lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"

A_FOLDER="$WORK/boxes/a1111"
SHARED="$WORK/shared"
B_FOLDER="$SHARED/b2222"
mkdir -p "$A_FOLDER" "$B_FOLDER/deep"
echo kept > "$B_FOLDER/deep/kept.txt"
# Y: is a second name for the folder that holds box B's folder.
DRIVE="$WINEPREFIX/dosdevices/y:"
# A run that was cut short may have left its own drive behind.
[ -L "$DRIVE" ] && [ "$(readlink "$DRIVE")" = "$SHARED" ] && rm -f "$DRIVE"
[ ! -e "$DRIVE" ] && [ ! -L "$DRIVE" ] || fail "drive Y: is taken in this prefix"
ln -s "$SHARED" "$DRIVE"
trap 'rm -f "$DRIVE"; cleanup' EXIT

folder_box() {
  printf '    ComID_%s{\n        id : "%s",\n        x : %s,\n        y : 100,\n        cx : 360,\n        cy : 420,\n        title : "%s",\n        UseTargetFolder : true,\n        TargetFolder : "%s"\n    }' \
    "$1" "$1" "$2" "$3" "$(store_path "$4")"
}
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
printf 'Components{\n%s\n}\n%s\n' "$(join_members "$(folder_box a1111 100 Alpha "$A_FOLDER")" \
  "$(folder_box b2222 600 Beta "$B_FOLDER")")" "$OWN_ROOT" > "$DATA/DesktopContainer.kelm"

listing() { (cd "$1" && find . -printf '%y %p\n' | sort && find . -type f -exec md5sum {} + | sort -k2); }
before=$(listing "$SHARED")

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 2
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
# Box A stands left of box B.
IFS=, read -r ax ay aw ah <<<"$(probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '{print $5}' | sort -t, -n -k1,1 | head -n1)"
[ "${aw:-0}" -gt 0 ] || fail "no rectangle of box A"

out=$(wine_read "$DROP_EXE" $((ax + aw / 2)) $((ay + ah / 2)) 'Y:\b2222') ||
  fail "the drop did not happen: $out"
told=$(close_notices)
[ "$told" -ge 1 ] || fail "the refusal was not told"
[ "$(listing "$SHARED")" = "$before" ] || fail "box B's folder changed: $(find "$SHARED" | head -20)"
[ -z "$(ls -A "$A_FOLDER")" ] || fail "something arrived in box A: $(ls -A "$A_FOLDER")"
printf '%s\n' "$out" | grep -q ' performed 2 ' && fail "a move was reported as performed: $out"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo PASS
