#!/usr/bin/env bash
# With the quick panel open: "粘贴" of the content menu copies a file into
# the selected folder box, the second paste as "a (1).txt" (answered
# "创建副本" to the box's same-name question); the row menu
# renames ("title"), recolours ("clrtag") and deletes a component (its
# "ComID_" object gone, "ListOrder" exactly "0".."n-1" afterwards).
source "$(dirname "$0")/lib.sh"

PANEL_CLASS="Tessik.Kelm.QuickPanel.Class"
PANEL_TITLE="Tessik.QuickPanel"
WM_HOTKEY=786
CLIP_EXE="$(dirname "$PROBE_EXE")/ClipboardProbe.exe"
POPUP_CLASS="Kelm.concept.PopupSel.Class"
POPUP_TITLE="Kelm.Test.concept.PopupSel"
# Wine now and then ends a program at its start: wine_read runs it again.
clip() { wine_read "$CLIP_EXE" "$@"; }

FOLDER="$WORK/boxes/a1111"
mkdir -p "$FOLDER" "$WORK/files"
echo pasted > "$WORK/files/a.txt"
seed_app_store "showTessikMain : false" "containerDir : \"$(store_path "$WORK/boxes")\""
mapping_box() {
  printf '    ComID_%s{\n        id : "%s",\n        x : %s,\n        y : 620,\n        cx : 300,\n        cy : 200,\n        title : "%s",\n        clrtag : "#F2F2F2"\n    }' \
    "$1" "$1" "$2" "$3"
}
folder_box=$(printf '    ComID_a1111{\n        id : "a1111",\n        x : 1000,\n        y : 60,\n        cx : 300,\n        cy : 300,\n        title : "Alpha",\n        clrtag : "#B0E0B0",\n        UseTargetFolder : true,\n        TargetFolder : "%s"\n    }' \
  "$(store_path "$FOLDER")")
printf 'Components{\n%s\n}\n%s\n' "$(join_members "$folder_box" "$(mapping_box b2222 1000 Beta)" "$(mapping_box c3333 1310 Gamma)")" \
  "$OWN_ROOT" > "$DATA/DesktopContainer.kelm"
seed_panel_order a1111 b2222 c3333

# The stored object of a box: its lines up to its closing brace.
box_object() { tr -d '\r' < "$DATA/DesktopContainer.kelm" | awk -v o="    ComID_$1{" '$0 == o {on=1} on {print} on && /^    }/ {exit}'; }
# Right-clicks sidebar row $1 (rows 45 DIPs apart from y 60) and clicks
# entry $2 of its menu (rows 40 DIPs apart, 10 above the first).
row_action() {
  xdotool mousemove $((px + 100)) $((py + 80 + 45 * $1)) click 3
  wait_still "$MENU_CLASS" "$MENU_TITLE"
  menu_rect "Kelm.Menu.Class.0"
  xdotool mousemove $((mx + 60)) $((my + 30 + 40 * $2)) click 1
}

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_count 3
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_HOTKEY 1001 0 >/dev/null || fail "cannot post the hotkey"
wait_still "$PANEL_CLASS" "$PANEL_TITLE"
IFS=, read -r px py _ _ <<<"$(probe list | awk -F'\t' -v c="$PANEL_CLASS" '$1 == c {print $5; exit}')"

# The first row (Alpha, a folder box) is selected: paste twice into it.
clip put-files "$(win_path "$WORK/files/a.txt")" || fail "cannot put the file on the clipboard"
for name in "a.txt" "a (1).txt"; do
  xdotool mousemove $((px + 500)) $((py + 400)) click 3
  wait_still "$MENU_CLASS" "$MENU_TITLE"
  menu_rect "Kelm.Menu.Class.0"
  xdotool mousemove $((mx + 60)) $((my + 30)) click 1
  if [ "$name" = "a (1).txt" ]; then
    # The box's own paste asks about the name its folder holds: its first
    # option, "创建副本", numbers the copy.
    wait_still "$POPUP_CLASS" "$POPUP_TITLE"
    IFS=, read -r _ _ qw qh <<<"$(probe list | awk -F'\t' -v c="$POPUP_CLASS" '$1 == c {print $5; exit}')"
    probe click "$POPUP_CLASS" "$POPUP_TITLE" $((qw - 60)) $((qh - 40)) >/dev/null 2>&1 &
  fi
  wait_file '[ -f "$FOLDER/$name" ]' || fail "no $name after a paste: $(ls "$FOLDER")"
  probe gone "$MENU_CLASS" "$MENU_TITLE" 5000 >/dev/null || true
done
[ -f "$WORK/files/a.txt" ] || fail "a paste removed its source"
wait_file 'box_object a1111 | grep -qF "a (1).txt"' || fail "the pasted files were not stored with the box"
sleep 1
import -window root "$WORK/quick_panel_pasted.png" 2>/dev/null || true

# Rename Beta through the input box.
row_action 1 0
wait_still "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit"
menu_rect "Kelm.concept.Edit.Class"
xdotool key End BackSpace BackSpace BackSpace BackSpace
xdotool type Bravo
sleep 0.3
xdotool mousemove $((mx + mw - 60)) $((my + mh - 40)) click 1
wait_file 'box_object b2222 | grep -q "title : \"Bravo\""' || fail "the new title was not stored: $(box_object b2222)"

# Recolour Beta with the palette's first swatch.
probe gone "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit" 5000 >/dev/null || true
row_action 1 1
wait_still "Kelm.concept.ColorPattle.Class" "Kelm.Test.concept.Color"
menu_rect "Kelm.concept.ColorPattle.Class"
xdotool mousemove $((mx + 44)) $((my + 72)) click 1
wait_file '! box_object b2222 | grep -q "clrtag : \"#F2F2F2\""' || fail "the colour tag did not change: $(box_object b2222)"
box_object b2222 | grep -Eq 'clrtag : "#[0-9A-F]{6}"' || fail "no colour text stored: $(box_object b2222)"
probe gone "Kelm.concept.ColorPattle.Class" "Kelm.Test.concept.Color" 5000 >/dev/null || true

# Delete Gamma (a mapping box: one question, "确定").
row_action 2 2
wait_still "Kelm.concept.Tip2.Class" "Kelm.Test.concept.Tip2"
menu_rect "Kelm.concept.Tip2.Class"
xdotool mousemove $((mx + mw - 60)) $((my + mh - 40)) click 1
wait_file '[ -z "$(box_object c3333)" ]' || fail "ComID_c3333 is still stored"
wait_box_count 2
order=$(tr -d '\r\n ' < "$DATA/QuickPanelCom.kelm" | grep -o 'ListOrder{[^}]*}')
[ "$(grep -o '[0-9]*:' <<<"$order" | tr -d ':' | tr '\n' ' ')" = "0 1 " ] || fail "ListOrder keys: $order"
grep -q '"a1111"' <<<"$order" && grep -q '"b2222"' <<<"$order" || fail "ListOrder lost a component: $order"

probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_HOTKEY 1001 0 >/dev/null
probe gone "$PANEL_CLASS" "$PANEL_TITLE" 10000 || fail "the panel did not close"
quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo PASS
