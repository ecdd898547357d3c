#!/usr/bin/env bash
# "开机启动" writes and removes the Run value "RaDaziRiv"; "清除日志" keeps
# the log this start writes and sub-folders; "清除用户数据" removes the data
# folder (a link in it as a link, never what it points to) and ends the
# program with 0, or tells what stayed and ends it with 1; the boxes' folder
# and the file in it stay, and the question and the report say where.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"

RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
run_value() { wine_read reg query "$RUN_KEY" /v RaDaziRiv | grep RaDaziRiv || true; }
# Never leave a Run value behind: the prefix would start it at boot.
trap 'wine reg delete "$RUN_KEY" /v RaDaziRiv /f >/dev/null 2>&1 || true; cleanup' EXIT

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\""
mkdir -p "$DATA/logs/kept_folder" "$WORK/outside"
printf 'keep' >"$WORK/outside/keep.txt"
ln -s "$WORK/outside" "$DATA/linked"
printf '[Tessik][2020/01/01 08:00:00][INFO] old\r\n' >"$DATA/logs/2020_01_01_00.txt"
mkdir -p "$WORK/boxes"
printf 'mine' >"$WORK/boxes/dropped.txt"

open_settings_page

click_for_window 580 592 "#32770" "日志系统" || fail "no log message" # 清除日志
probe post "#32770" "日志系统" "$WM_CLOSE" 0 0 >/dev/null
probe gone "#32770" "日志系统" 10000 || fail "the log message stayed"
[ -e "$DATA/logs/2020_01_01_00.txt" ] && fail "the old log was not removed"
[ -f "$DATA/logs/${TODAY}_00.txt" ] || fail "the open log was removed: $(ls "$DATA/logs")"
[ -d "$DATA/logs/kept_folder" ] || fail "a sub-folder of the logs was removed"

# 20 notches down: the autostart switch (y 817) is at 277.
wheel 20
shot_still settings_middle settings_top
click 490 288
[ "$(stored_setting autoStartUp)" = true ] || fail "autoStartUp stored as '$(stored_setting autoStartUp)'"
value=$(run_value)
[[ "$value" == *'"'*'Tessik.exe"'* ]] || fail "Run value: '$value'"
click 490 288
[ "$(stored_setting autoStartUp)" = false ] || fail "autoStartUp stored as '$(stored_setting autoStartUp)'"
[ -z "$(run_value)" ] || fail "the Run value stayed: $(run_value)"

shot_still settings_switched
wheel 20 up
shot_still settings_top_again settings_switched
click_for_window 500 454 "$POPUP_CLASS" "$POPUP_TITLE" || fail "no question before clearing" # 清除用户数据
popup_ok 0
# The boxes' folder stays, and the user hears where before anything goes.
probe wait "#32770" "清除" visible 15000 >/dev/null || fail "no word on the boxes' folder that stays"
wait_still "#32770" "清除"
import -window root "$WORK/user_data_kept.png" 2>/dev/null || true
probe post "#32770" "清除" 273 1 0 >/dev/null # WM_COMMAND IDOK
# Wine cannot remove a host link to a folder: the link, and the data folder
# holding it, then stay, the user is told what stayed and the program ends
# with 1. Elsewhere everything goes and it ends with 0.
told=false
for _ in $(seq 150); do
  kill -0 "$pid" 2>/dev/null || break
  if [ "$(probe count "#32770" "Tessik")" != 0 ]; then
    told=true
    wait_still "#32770" "Tessik"
    import -window root "$WORK/user_data_stayed.png" 2>/dev/null || true
    probe post "#32770" "Tessik" "$WM_CLOSE" 0 0 >/dev/null
    break
  fi
  sleep 0.1
done
wait_exit "$pid"
if [ -L "$DATA/linked" ]; then
  [ "$RC" = 1 ] || fail "clearing left the link and ended with $RC"
  $told || fail "the user was not told what stayed"
  grep -q 'Clearing user data did not finish: .*linked' "$DATA"/logs/*.txt || fail "no log line names the link"
  grep -q 'did not finish: .*收纳盒的文件夹中仍有文件.*boxes' "$DATA"/logs/*.txt || fail "the report does not name the boxes' folder"
  [ "$(ls -A "$DATA" | grep -v '^logs$')" = linked ] || fail "more than the link (and the log saying so) stayed: $(ls -A "$DATA")"
else
  [ "$RC" = 0 ] || fail "clearing ended with $RC"
  [ -e "$DATA" ] && fail "the data folder is still there: $(ls -R "$DATA" | head)"
fi
[ -f "$APP/Tessik.exe" ] || fail "the program beside the data folder was removed"
[ "$(cat "$WORK/boxes/dropped.txt" 2>/dev/null)" = mine ] || fail "the file in the boxes' folder was removed"
[ "$(cat "$WORK/outside/keep.txt" 2>/dev/null)" = keep ] || fail "clearing reached through the link: $(ls -la "$WORK/outside" 2>&1)"
echo "PASS"
