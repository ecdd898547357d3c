#!/usr/bin/env bash
# The magnet window against a file dialog nobody here wrote: Wine's own
# notepad opens its Open dialog; the magnet window docks beside it at
# 300 x 260, follows a move and hides when the dialog goes. A drag of a
# row's grip stores the new row order; a click on the box row sends the box
# folder to the dialog and shows the icon window; a click on the file's
# icon fills the dialog and notepad opens the file. The chooser of the
# header makes a box at the bottom. A program's save dialog that reads like
# an Open dialog ("Export to OpenDocument", OK button "Export"; "Open", OK
# button "O&pen") gets the file's name but is not confirmed: the file stays
# as it was. Beside dialogs without an address bar (Wine's COM Open and
# Save dialogs, the old-style Open dialog) the box row takes the dialog to
# the box folder through its file-name field, which shows its own text
# again afterwards, and the file's icon puts the file's whole path there.
source "$(dirname "$0")/lib.sh"

MAG_CLASS="Tessik.Kelm.Com.MagWin.Class"
MAG_TITLE="Tessik.Com.MagWindow"
ICON_CLASS="Tessik.Kelm.Com.MagIconWin.Class"
ICON_TITLE="Tessik.Com.MagIcons"
NOTEPAD_CLASS="Notepad"
WM_COMMAND=273
OPEN_COMMAND=257

BOX_FOLDER="$WORK/boxes/docs"
mkdir -p "$BOX_FOLDER" "$WORK/elsewhere"
printf 'magnet test\r\n' > "$BOX_FOLDER/hello.txt"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\""
seed_folder_box b0001 "Docs" "$BOX_FOLDER"
printf 'TempList{\n    h00001{\n        title : "Hidden",\n        TargetFolder : "%s"\n    }\n}\n' \
  "$(store_path "$WORK/boxes/temp_h00001")" > "$DATA/QuickPanelCom.kelm"
printf '%s\n' "$OWN_ROOT" >> "$DATA/QuickPanelCom.kelm"
printf 'TessikRef{\n    enabled : true\n}\n' > "$DATA/MagnetCom.kelm"

start_tessik
# The first poll hides the window that was made off screen.
probe wait "$MAG_CLASS" "$MAG_TITLE" hidden 40000 >/dev/null || fail "no magnet window"
wait_box_rect

# The dialog would open in the folder it showed last time.
wine reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32' /f >/dev/null 2>&1 || true
(cd "$WORK/elsewhere" && exec wine notepad) >>"$WORK/notepad.txt" 2>&1 &
NOTEPAD_PID=$!
TESSIK_PIDS+=("$NOTEPAD_PID")
notepad_title() { probe list | awk -F'\t' -v c="$NOTEPAD_CLASS" '$1 == c && $3 == 1 {print $2; exit}'; }
for i in $(seq 100); do
  NOTEPAD_TITLE=$(notepad_title) || fail "no window list while waiting for notepad"
  [ -n "$NOTEPAD_TITLE" ] && break
  runs "$NOTEPAD_PID" || break
  sleep 0.2
done
if [ -z "$NOTEPAD_TITLE" ]; then
  runs "$NOTEPAD_PID" && seen="runs without a visible window" || seen="has ended"
  fail "notepad did not open: its process $seen (its output: $(tr '\r\n' '  ' <"$WORK/notepad.txt"))"
fi

# Field 5 of the probe's list: x,y,w,h of the first visible match.
rect_of() { probe list | awk -F'\t' -v c="$1" -v t="$2" '$1 == c && $2 == t && $3 == 1 {print $5; exit}'; }

open_dialog() {
  probe post-one "$NOTEPAD_CLASS" "$NOTEPAD_TITLE" $WM_COMMAND $OPEN_COMMAND 0 >/dev/null || fail "cannot reach notepad"
  probe wait "#32770" "Open" visible 20000 >/dev/null || fail "no Open dialog"
}

# Waits (bounded) until the magnet window stands docked beside the dialog
# titled $DIALOG: 5 pixels right of it (left when there is no room), its
# top, 300 x 260.
DIALOG="Open"
wait_docked() {
  local i d m dx dy dw dh mx my mw mh screen_w expected
  screen_w=$(xdpyinfo | awk '/dimensions:/ {split($2, a, "x"); print a[1]}')
  for i in $(seq 100); do
    d=$(rect_of "#32770" "$DIALOG")
    m=$(rect_of "$MAG_CLASS" "$MAG_TITLE")
    if [ -n "$d" ] && [ -n "$m" ]; then
      IFS=, read -r dx dy dw dh <<<"$d"
      IFS=, read -r mx my mw mh <<<"$m"
      expected=$((dx + dw + 5))
      [ $((dx + dw + 300)) -gt "$screen_w" ] && expected=$((dx - 300 - 5))
      [ "$mx" = "$expected" ] && [ "$my" = "$dy" ] && [ "$mw" = 300 ] && [ "$mh" = 260 ] && return 0
    fi
    sleep 0.1
  done
  fail "magnet window not docked: dialog $d, magnet $m"
}

open_dialog
wait_docked
import -window root "$WORK/magnet_docked.png" 2>/dev/null || true

# The window follows the dialog.
IFS=, read -r dx dy dw dh <<<"$(rect_of "#32770" "Open")"
probe move "#32770" "Open" $((dx + 40)) $((dy + 30)) || fail "cannot move the dialog"
wait_docked

# Rows start 35 below the top, 45 apart; the grip is their last 35 units.
# Dragging the first row (Docs) below the second stores the new order.
# The press must find the rows painted: the window is at rest first.
wait_still "$MAG_CLASS" "$MAG_TITLE"
IFS=, read -r mx my mw mh <<<"$(rect_of "$MAG_CLASS" "$MAG_TITLE")"
xdotool mousemove $((mx + 272)) $((my + 55)) mousedown 1
for step in 10 20 30 40 50; do xdotool mousemove $((mx + 272)) $((my + 55 + step)); done
xdotool mouseup 1
for i in $(seq 100); do
  grep -q 'idx_0 : "h00001"' "$DATA/MagnetCom.kelm" && grep -q 'idx_1 : "b0001"' "$DATA/MagnetCom.kelm" && break
  sleep 0.1
done
grep -q 'idx_1 : "b0001"' "$DATA/MagnetCom.kelm" || fail "row order not stored: $(cat "$DATA/MagnetCom.kelm")"

# "test-plus" opens the "新建组件" chooser in the window's card; its first
# row makes a mapping box, which lies at the bottom (z 0).
xdotool mousemove $((mx + 218)) $((my + 23)) click 1
wait_still "$MAG_CLASS" "$MAG_TITLE"
for i in $(seq 50); do
  xdotool mousemove $((mx + 150)) $((my + 103)) click 1
  for j in $(seq 10); do
    grep -q 'z : 0' "$DATA/DesktopContainer.kelm" && break 2
    sleep 0.1
  done
done
grep -q 'z : 0' "$DATA/DesktopContainer.kelm" || fail "no new box from the chooser"
wait_box_count 2

# The body of the Docs row, now the second: the dialog shows the box folder
# ("Look in", item 0x471) and the icon window opens. The card closes with
# an animation; a click during it is taken by the card's barrier, and is
# made again. A click that reached the row drives the dialog (it reports
# the address field it found) and then opens the icon window, however long
# that takes on a busy machine: no second click then.
reports() { grep -c "$1" "$WORK/output.txt" || true; }
in_box_folder() { [ "$(probe item-text "#32770" "$DIALOG" 1137)" = docs ]; }
click_docs_row() {
  local i j before
  before=$(reports '已精准定位地址栏句柄\|经文件名输入框跳转\|未找到\|不存在')
  for i in $(seq 20); do
    xdotool mousemove $((mx + 80)) $((my + 100)) click 1
    for j in $(seq 10); do
      [ "$(reports '已精准定位地址栏句柄\|经文件名输入框跳转\|未找到\|不存在')" -gt "$before" ] && break 2
      sleep 0.1
    done
    probe wait "$ICON_CLASS" "$ICON_TITLE" visible 100 >/dev/null && break
  done
  probe wait "$ICON_CLASS" "$ICON_TITLE" visible 20000 >/dev/null || fail "no icon window after the row click"
  for i in $(seq 50); do
    [ "$(reports '路径跳转完成')" -gt 0 ] && in_box_folder && return 0
    sleep 0.1
  done
  [ "$(reports '路径跳转完成')" -gt 0 ] || fail "the box folder was not sent to the dialog"
  fail "dialog not in the box folder"
}
click_docs_row
# The icon window stands 20 pixels below the magnet window, as wide, 300
# high, and moves with it.
icon_below() {
  local i
  for i in $(seq 100); do
    IFS=, read -r mx my mw mh <<<"$(rect_of "$MAG_CLASS" "$MAG_TITLE")"
    IFS=, read -r ix iy iw ih <<<"$(rect_of "$ICON_CLASS" "$ICON_TITLE")"
    [ "$ix" = "$mx" ] && [ "$iy" = $((my + mh + 20)) ] && [ "$iw" = "$mw" ] && [ "$ih" = 300 ] && return 0
    sleep 0.1
  done
  fail "icon window not below the magnet window: $ix,$iy,$iw,$ih"
}
icon_below
IFS=, read -r dx dy dw dh <<<"$(rect_of "#32770" "$DIALOG")"
probe move "#32770" "$DIALOG" $((dx - 30)) $((dy - 20)) || fail "cannot move the dialog"
wait_docked
icon_below
wait_still "$ICON_CLASS" "$ICON_TITLE"
import -window root "$WORK/magnet_icons.png" 2>/dev/null || true

# The file's icon: a text card in the first cell of the centred grid.
xdotool mousemove $((ix + 110)) $((iy + 45)) click 1
for i in $(seq 100); do
  title=$(notepad_title)
  [ "${title#hello}" != "$title" ] && break
  sleep 0.2
done
[ "${title#hello}" != "$title" ] || fail "notepad did not open the file (title: $title)"

# The dialog is gone: both windows hide.
probe wait "$MAG_CLASS" "$MAG_TITLE" hidden 10000 >/dev/null || fail "magnet window still shown"
probe wait "$ICON_CLASS" "$ICON_TITLE" hidden 10000 >/dev/null || fail "icon window still shown"

# Programs that save show the system's save dialog under a title and OK
# button that read like an Open dialog's, and write, without asking,
# whatever file the dialog returns: the dialog gets the file's name but is
# not confirmed. Only the dialog's own labels tell the second one from an
# Open dialog.
SAVE_EXE="$(dirname "$PROBE_EXE")/SaveDialog.exe"
save_dialog_is_only_filled() {
  local button="$2" shown="$3" confirmed_before filled_before
  DIALOG="$1"
  wine "$SAVE_EXE" "$DIALOG" "$button" "$(win_path "$WORK/elsewhere")" >>"$WORK/save-dialog.txt" 2>&1 &
  SAVE_PID=$!
  TESSIK_PIDS+=("$SAVE_PID")
  probe wait "#32770" "$DIALOG" visible 20000 >/dev/null || fail "no save dialog titled $DIALOG"
  [ "$(probe item-text "#32770" "$DIALOG" 1)" = "$shown" ] || fail "the save dialog's OK button does not read $shown"
  wait_docked
  wait_still "$MAG_CLASS" "$MAG_TITLE"
  IFS=, read -r mx my mw mh <<<"$(rect_of "$MAG_CLASS" "$MAG_TITLE")"
  click_docs_row
  icon_below
  wait_still "$ICON_CLASS" "$ICON_TITLE"
  confirmed_before=$(reports '已设置文件名并发送回车指令')
  filled_before=$(reports '已设置文件名，请在对话框中确认保存')
  xdotool mousemove $((ix + 110)) $((iy + 45)) click 1
  for i in $(seq 100); do
    [ "$(reports '已设置文件名，请在对话框中确认保存')" -gt "$filled_before" ] && break
    [ "$(reports '已设置文件名并发送回车指令')" -gt "$confirmed_before" ] && break
    sleep 0.1
  done
  # The name is in the dialog (file name, item 0x47C), which still waits
  # for the user; the box's file is untouched.
  [ "$(reports '已设置文件名并发送回车指令')" = "$confirmed_before" ] || fail "the save dialog $DIALOG was confirmed"
  [ "$(probe item-text "#32770" "$DIALOG" 1148)" = hello.txt ] || fail "the file name was not filled in ($DIALOG)"
  runs "$SAVE_PID" || fail "the save dialog closed: $(tr '\r\n' '  ' <"$WORK/save-dialog.txt")"
  probe wait "#32770" "$DIALOG" visible 100 >/dev/null || fail "the save dialog $DIALOG is gone"
  [ "$(cat "$BOX_FOLDER/hello.txt")" = $'magnet test\r' ] || fail "the box's file was overwritten"
  import -window root "$WORK/magnet_save_dialog_$4.png" 2>/dev/null || true
  probe post-one "#32770" "$DIALOG" $WM_COMMAND 2 0 >/dev/null || fail "cannot cancel the save dialog"
  wait_exit "$SAVE_PID"
  [ "$RC" = 1 ] || fail "the save dialog did not end cancelled (exit $RC)"
  [ "$(cat "$BOX_FOLDER/hello.txt")" = $'magnet test\r' ] || fail "the box's file was overwritten"
  probe wait "$MAG_CLASS" "$MAG_TITLE" hidden 10000 >/dev/null || fail "magnet window still shown"
}
save_dialog_is_only_filled "Export to OpenDocument" "Export" "Export" export
save_dialog_is_only_filled "Open" "O&pen" "O&pen" open

# Dialogs without an address bar. What the name field (edt1, 0x480) showed
# comes back after the jump, unless it is a name the dialog could write
# and the dialog cannot say where it is (Wine's COM dialogs keep the folder
# typed into the field): then the folder stays. A name typed there
# afterwards and confirmed is taken in the box folder, so the dialog went
# there.
in_box_folder() { [ "$(probe item-text "#32770" "$DIALOG" 1152)" = "$NAME_BEFORE" ]; }
dialog_without_address_bar() {
  local kind="$1" typed="$3" jumps filled_before chosen
  DIALOG="Open $kind"
  NAME_BEFORE="$2"
  wine "$SAVE_EXE" --shown "$kind" "$DIALOG" "$(win_path "$WORK/elsewhere")" >"$WORK/dialog-$kind.txt" 2>&1 &
  OTHER_PID=$!
  TESSIK_PIDS+=("$OTHER_PID")
  probe wait "#32770" "$DIALOG" visible 20000 >/dev/null || fail "no dialog $DIALOG"
  wait_docked
  wait_still "$MAG_CLASS" "$MAG_TITLE"
  IFS=, read -r mx my mw mh <<<"$(rect_of "$MAG_CLASS" "$MAG_TITLE")"
  jumps=$(reports '路径跳转完成')
  click_docs_row
  [ "$(reports '路径跳转完成')" -gt "$jumps" ] || fail "no jump in $DIALOG"
  icon_below
  wait_still "$ICON_CLASS" "$ICON_TITLE"
  import -window root "$WORK/magnet_$kind.png" 2>/dev/null || true
  filled_before=$(reports '已设置文件名')
  xdotool mousemove $((ix + 110)) $((iy + 45)) click 1
  for i in $(seq 100); do
    [ "$(reports '已设置文件名')" -gt "$filled_before" ] && break
    sleep 0.1
  done
  [ "$(probe item-text "#32770" "$DIALOG" 1152)" = "$(win_path "$BOX_FOLDER/hello.txt")" ] ||
    fail "the file's path is not in $DIALOG: $(probe item-text "#32770" "$DIALOG" 1152)"
  runs "$OTHER_PID" || fail "$DIALOG closed on the fill: $(tr '\r\n' '  ' <"$WORK/dialog-$kind.txt")"
  probe set-item-text "#32770" "$DIALOG" 1152 "$typed" || fail "cannot type into $DIALOG"
  probe post-one "#32770" "$DIALOG" $WM_COMMAND 1 0 >/dev/null || fail "cannot confirm $DIALOG"
  wait_exit "$OTHER_PID"
  chosen=$(tr -d '\r' <"$WORK/dialog-$kind.txt")
  [ "$RC" = 0 ] && [ "${chosen,,}" = "chose $(win_path "$BOX_FOLDER/$typed" | tr '[:upper:]' '[:lower:]')" ] ||
    fail "$DIALOG did not go to the box folder (exit $RC): $chosen"
  probe wait "$MAG_CLASS" "$MAG_TITLE" hidden 10000 >/dev/null || fail "magnet window still shown"
}
# A save dialog asks before it replaces: it is given a new name.
dialog_without_address_bar com-open "" hello.txt
dialog_without_address_bar com-save "$(win_path "$BOX_FOLDER")\\" new.txt
dialog_without_address_bar old-open "*.*" hello.txt
[ "$(cat "$BOX_FOLDER/hello.txt")" = $'magnet test\r' ] || fail "the box's file was changed"
echo "PASS"
