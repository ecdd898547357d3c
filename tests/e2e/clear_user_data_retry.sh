#!/usr/bin/env bash
# A settings save that is still being retried when the user clears the
# user data: nothing of the cleared stores is written back into the data
# folder (here it stays, holding a link Wine cannot remove) while the
# report of what stayed is shown.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/settings_lib.sh"

RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
trap 'wine reg delete "$RUN_KEY" /v RaDaziRiv /f >/dev/null 2>&1 || true; cleanup' EXIT

mkdir -p "$WORK/boxes" "$WORK/outside"
seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\""
ln -s "$WORK/outside" "$DATA/linked"
printf 'mine' >"$WORK/boxes/dropped.txt"

open_settings_page
# From now on the settings store cannot be written.
mkdir "$DATA/Tessik.kelm.saving"
wheel 20
shot_still settings_middle settings_top
click 490 288 # 开机启动
[ "$(close_notices)" -ge 1 ] || fail "the failed save was not told"

wheel 20 up
shot_still settings_top_again settings_middle
click_for_window 500 454 "$POPUP_CLASS" "$POPUP_TITLE" || fail "no question before clearing" # 清除用户数据
popup_ok 0
probe wait "#32770" "清除" visible 15000 >/dev/null || fail "no word on the boxes' folder that stays"
probe post "#32770" "清除" 273 1 0 >/dev/null # WM_COMMAND IDOK
probe wait "#32770" "Tessik" visible 20000 >/dev/null || fail "no report of what stayed"
[ -e "$DATA/Tessik.kelm" ] && fail "the settings store was not cleared"
for _ in $(seq 300); do
  [ -e "$DATA/Tessik.kelm" ] && break
  sleep 0.1
done
[ ! -e "$DATA/Tessik.kelm" ] || fail "a retried save wrote the cleared settings back: $(ls -A "$DATA")"
probe post "#32770" "Tessik" "$WM_CLOSE" 0 0 >/dev/null
wait_exit "$pid"
[ "$RC" = 1 ] || fail "clearing ended with $RC"
