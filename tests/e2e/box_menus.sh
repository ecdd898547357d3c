#!/usr/bin/env bash
# The background menu of a folder box makes a new text file through "新建"
# (with the byte-order mark and a store record), "撤销" parks it in the
# temporary folder and "重做" brings it back; the more menu and the title
# menu open from their buttons, the palette recolours and "标题" renames
# the box; the visibility hotkey hides and shows the box. Screenshots of
# each menu for a look by eye.
source "$(dirname "$0")/lib.sh"

FOLDER="$WORK/boxes/a1111"
mkdir -p "$FOLDER"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" "showTessikMain : false"
seed_folder_box a1111 "Menus" "$FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any
wait_box_rect
wait_still "$BOX_PREFIX*" "Tessik.Com.Container"

SUB_CLASS="Kelm.Menu.Class.1*"
# Right-clicks the empty background and waits for the menu.
open_background_menu() {
  xdotool mousemove $((bx + 300)) $((by + 400)) click 3
  wait_still "$MENU_CLASS" "$MENU_TITLE"
}

# Rows are 40 DIPs apart, 10 above the first: "新建" is row 0, its submenu
# opens on hover; "文本文件" is the submenu's second row.
open_background_menu
menu_rect "Kelm.Menu.Class.0"
xdotool mousemove $((mx + 60)) $((my + 30))
wait_still "$SUB_CLASS" "$MENU_TITLE"
import -window root "$WORK/background_menu.png" 2>/dev/null || true
menu_rect "Kelm.Menu.Class.1"
xdotool mousemove $((mx + 60)) $((my + 70)) click 1
NEW="$FOLDER/新建 文本文档.txt"
wait_file '[ -f "$NEW" ]' || fail "no new text file: $(ls "$FOLDER")"
[ "$(od -An -tx1 "$NEW" | tr -d ' \n')" = efbbbf ] || fail "the new file is not just the byte-order mark"
wait_file 'grep -q "新建 文本文档.txt" "$DATA/DesktopContainer.kelm"' || fail "no stored record of the new file"

probe gone "$MENU_CLASS" "$MENU_TITLE" 10000 >/dev/null || fail '"文本文件" left the menu open'

# "撤销" is the left half of row 2 (新建, 粘贴, the undo row).
open_background_menu
menu_rect "Kelm.Menu.Class.0"
xdotool mousemove $((mx + 30)) $((my + 110)) click 1
wait_file '[ ! -e "$NEW" ]' || fail "undo left the new file"
ls "$WORK/boxes/.data/.temp" | grep -Eq '^新建 文本文档\.txt[0-9a-f]{4}\.tmp$' ||
  fail "nothing parked in the temporary folder: $(ls -a "$WORK/boxes/.data/.temp" 2>&1)"
probe gone "$MENU_CLASS" "$MENU_TITLE" 10000 >/dev/null || fail '"撤销" left the menu open'
open_background_menu
menu_rect "Kelm.Menu.Class.0"
xdotool mousemove $((mx + mw - 30)) $((my + 110)) click 1
wait_file '[ -f "$NEW" ]' || fail "redo did not bring the file back"
probe gone "$MENU_CLASS" "$MENU_TITLE" 10000 >/dev/null || fail '"重做" left the menu open'

# The more button sits 65 DIPs from the right edge of the title band.
xdotool mousemove $((bx + bw - 58)) $((by + 20)) click 1
probe wait "$MENU_CLASS" "$MENU_TITLE" visible 10000 >/dev/null || fail "no more menu"
menu_rect "Kelm.Menu.Class.0"
# "设置" (row 2) opens its submenu on hover.
xdotool mousemove $((mx + 60)) $((my + 110))
wait_still "$SUB_CLASS" "$MENU_TITLE"
import -window root "$WORK/more_menu.png" 2>/dev/null || true
xdotool key Escape
xdotool mousemove 1500 50 click 1
probe gone "$MENU_CLASS" "$MENU_TITLE" 5000 >/dev/null || true

# The title tag opens the colour menu.
xdotool mousemove $((bx + 40)) $((by + 20)) click 1
wait_still "Kelm.concept.ColorMenuPattle.Class" "Kelm.Test.concept.ColorMenu"
import -window root "$WORK/title_menu.png" 2>/dev/null || true
# The first swatch (top left of the palette) recolours the box.
xdotool mousemove $((bx + 45)) $((by + 89)) click 1
wait_file '! grep -q "#B0E0B0" "$DATA/DesktopContainer.kelm"' || fail "the swatch left the colour tag unchanged"
grep -Eq 'clrtag : "#[0-9A-F]{6}"' "$DATA/DesktopContainer.kelm" || fail "no colour tag stored"
probe gone "Kelm.concept.ColorMenuPattle.Class" "Kelm.Test.concept.ColorMenu" 10000 >/dev/null ||
  fail "the colour menu stayed after a choice"

# "标题" of the title menu renames the box through the input box.
xdotool mousemove $((bx + 40)) $((by + 20)) click 1
wait_still "Kelm.concept.ColorMenuPattle.Class" "Kelm.Test.concept.ColorMenu"
xdotool mousemove $((bx + 44)) $((by + 235)) click 1
wait_still "Kelm.concept.Edit.Class" "Kelm.Test.concept.Edit"
menu_rect "Kelm.concept.Edit.Class"
xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace
xdotool type Renamed
sleep 0.3
xdotool mousemove $((mx + mw - 60)) $((my + mh - 40)) click 1
wait_file 'grep -q "title : \"Renamed\"" "$DATA/DesktopContainer.kelm"' ||
  fail "the new title was not stored: $(grep title "$DATA/DesktopContainer.kelm")"

# Ctrl+Shift+L, pressed on the keyboard over the box, hides every box; over
# the main window (brought back by a click on the tray icon: no box is left
# to take the focus) it shows them again.
BOX_CLASS="Tessik.Kelm.Com.Container.Class.*"
press_keys_over "Tessik.Com.Container" ctrl+shift+l || fail "the box did not take the keyboard focus"
probe wait "$BOX_CLASS" "Tessik.Com.Container" hidden 15000 >/dev/null || fail "the hotkey did not hide the box"
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_TRAY 0 $WM_LBUTTONUP >/dev/null || fail "no window for the tray click"
wait_main_window visible
press_keys_over "$MAIN_TITLE" ctrl+shift+l || fail "the main window did not take the keyboard focus"
probe wait "$BOX_CLASS" "Tessik.Com.Container" visible 15000 >/dev/null || fail "the hotkey did not show the box"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
