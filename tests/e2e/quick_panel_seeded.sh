#!/usr/bin/env bash
# The quick panel opened right after a start with 200 boxes: the box it
# chooses shows its files while the boxes are still busy drawing
# themselves, not an empty view.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../../bench/seed.sh"

PANEL_CLASS="Tessik.Kelm.QuickPanel.Class"
PANEL_TITLE="Tessik.QuickPanel"
WM_HOTKEY=786

# 200 boxes of 8 files each, overlapping in a grid over the screen.
members=""
for b in $(seq 0 199); do
  folder="$WORK/folders/f$b"
  mkdir -p "$folder"
  for i in 1 2 3 4 5 6 7 8; do echo "$b $i" >"$folder/file_$i.txt"; done
  [ -n "$members" ] && members+=$',\n'
  members+="$(seed_box_member "b$(printf %03d "$b")" $((20 + (b % 20) * 60)) $((20 + (b / 20) * 80)) 260 220 "盒子 $b" "$folder")"
done
seed_data_folder "$DATA" "$WORK/boxes" "$members" false "showTessikMain : true"

start_tessik
pid=$LAST_PID
# The main window comes after the 200 boxes are made, which on a busy
# machine took longer than the usual bound.
probe wait "$MAIN_CLASS" "$MAIN_TITLE" visible 90000 >/dev/null || fail "no main window"
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_HOTKEY 1001 0 >/dev/null || fail "cannot post the hotkey"
panel=$(probe wait "$PANEL_CLASS" "$PANEL_TITLE" visible 60000) || fail "quick panel did not open"
IFS=, read -r px py _ _ <<<"$(cut -f5 <<<"$panel")"
shown=$(date +%s%N)

# The second to fourth icon of the chosen box's first row, right of where
# its header is written (the header is drawn before its icons fade in).
# The view's face is one plain colour; icons are not.
icons_drawn() {
  local colours
  colours=$(import -window root png:- 2>/dev/null |
    convert png:- -crop "350x110+$((px + 350))+$((py + 140))" -format %k info: 2>/dev/null) || return 1
  [ "${colours:-0}" -gt 8 ]
}
# Held back behind the boxes' paints, the icons stayed faded out for
# seconds here; drawn on a beat of their own they show within one.
until icons_drawn; do
  if [ $((($(date +%s%N) - shown) / 1000000)) -ge 5000 ]; then
    import -window root "$WORK/quick_panel_seeded_empty.png" 2>/dev/null || true
    fail "the chosen box stayed empty"
  fi
  sleep 0.1
done
import -window root "$WORK/quick_panel_seeded.png" 2>/dev/null || true

probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_HOTKEY 1001 0 >/dev/null
probe gone "$PANEL_CLASS" "$PANEL_TITLE" 20000 || fail "the panel did not close"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo PASS
