#!/usr/bin/env bash
# A real drop of a whole drive (a drive letter of this prefix's own, on a
# scratch folder of the test) onto a normal box: nothing of the drive moves,
# even for a source that deletes what it hears was moved, the user is told
# which drive stayed, and the box takes nothing; the same through the quick
# panel. A mapping box still maps the drive.
source "$(dirname "$0")/lib.sh"
DROP_EXE="$(dirname "$PROBE_EXE")/DropSource.exe"

A_FOLDER="$WORK/boxes/a1111"
SCRATCH="$WORK/drive_y"
mkdir -p "$A_FOLDER" "$SCRATCH/deep"
echo kept > "$SCRATCH/deep/kept.txt"
echo top > "$SCRATCH/top.txt"
# Y: is a drive of this test's own; its root is the scratch folder. A move
# of "Y:\" would rename that folder on the host.
DRIVE="$WINEPREFIX/dosdevices/y:"
[ -L "$DRIVE" ] && [ "$(readlink "$DRIVE")" = "$SCRATCH" ] && rm -f "$DRIVE"
[ ! -e "$DRIVE" ] && [ ! -L "$DRIVE" ] || fail "drive Y: is taken in this prefix"
ln -s "$SCRATCH" "$DRIVE"
trap 'rm -f "$DRIVE"; cleanup' EXIT

box() {
  printf '    ComID_%s{\n        id : "%s",\n        x : %s,\n        y : 100,\n        cx : 360,\n        cy : 420,\n        title : "%s",\n        UseTargetFolder : %s,\n        TargetFolder : "%s"\n    }' \
    "$1" "$1" "$2" "$3" "$4" "$5"
}
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
printf 'Components{\n%s\n}\n%s\n' "$(join_members "$(box a1111 100 Alpha true "$(store_path "$A_FOLDER")")" \
  "$(box m3333 600 Mapped false bvn!NULL)")" "$OWN_ROOT" > "$DATA/DesktopContainer.kelm"

seed_panel_order a1111

listing() { (cd "$1" && find . -printf '%y %p\n' | sort && find . -type f -exec md5sum {} + | sort -k2); }
before=$(listing "$SCRATCH")

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 2
wait_still "${BOX_PREFIX}*" "Tessik.Com.Container"
rects=$(probe list | grep -F "$BOX_PREFIX" | awk -F'\t' '{print $5}' | sort -t, -n -k1,1)
IFS=, read -r ax ay aw ah <<<"$(printf '%s\n' "$rects" | head -n1)"
IFS=, read -r mx my mw mh <<<"$(printf '%s\n' "$rects" | tail -n1)"
[ "${aw:-0}" -gt 0 ] && [ "${mw:-0}" -gt 0 ] && [ "$ax" != "$mx" ] || fail "no rectangles of both boxes: $rects"

out=$(wine_read "$DROP_EXE" --delete-on-move $((ax + aw / 2)) $((ay + ah / 2)) 'Y:\') ||
  fail "the drop did not happen: $out"
told=$(close_notices)
[ "$told" -ge 1 ] || fail "the refusal was not told"
[ -d "$SCRATCH" ] || fail "the drive's folder is gone"
[ "$(listing "$SCRATCH")" = "$before" ] || fail "the drive changed: $(find "$SCRATCH" | head -20)"
[ -z "$(ls -A "$A_FOLDER")" ] || fail "something arrived in the box: $(ls -A "$A_FOLDER")"
printf '%s\n' "$out" | grep -q ' performed 2 ' && fail "a move was reported as performed: $out"
grep -aF 'Y:\' "$DATA"/logs/*.txt | grep -aqF '根目录' || fail "the notice does not name the drive"

# Dropped on the quick panel showing the normal box: refused and told too.
probe post "$MAIN_CLASS" "$MAIN_TITLE" 786 1001 0 >/dev/null || fail "cannot post the quick panel hotkey"
wait_still "Tessik.Kelm.QuickPanel.Class" "Tessik.QuickPanel"
IFS=, read -r px py _ _ <<<"$(probe list | awk -F'\t' '$1 == "Tessik.Kelm.QuickPanel.Class" {print $5; exit}')"
out=$(wine_read "$DROP_EXE" --delete-on-move $((px + 500)) $((py + 400)) 'Y:\') ||
  fail "the drop on the quick panel did not happen: $out"
told=$(close_notices)
[ "$told" -ge 1 ] || fail "the quick panel's refusal was not told"
[ "$(listing "$SCRATCH")" = "$before" ] || fail "the drive changed through the quick panel"
[ -z "$(ls -A "$A_FOLDER")" ] || fail "something arrived through the quick panel: $(ls -A "$A_FOLDER")"
printf '%s\n' "$out" | grep -q ' performed 2 ' && fail "the quick panel reported a move: $out"
probe post "$MAIN_CLASS" "$MAIN_TITLE" 786 1001 0 >/dev/null || fail "cannot post the quick panel hotkey"
for _ in $(seq 100); do
  probe list | grep -qF "Tessik.Kelm.QuickPanel.Class" || break
  sleep 0.1
done

# The mapping box records where the drive is, and nothing moves.
out=$(wine_read "$DROP_EXE" $((mx + mw / 2)) $((my + mh / 2)) 'Y:\') ||
  fail "the drop on the mapping box did not happen: $out"
for _ in $(seq 100); do
  grep -qF 'path : "Y:\\' "$DATA/DesktopContainer.kelm" && break
  sleep 0.1
done
grep -qF 'path : "Y:\\' "$DATA/DesktopContainer.kelm" || fail "the mapping box did not map the drive"
[ "$(listing "$SCRATCH")" = "$before" ] || fail "the drive changed after mapping"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo PASS
