#!/usr/bin/env bash
# A run that was killed mid-job left its journal: at the next start the
# part file it recorded in the box's folder goes and the folder move it cut
# off half way is told; the user's own file in the form part files once had
# stays in the box's folder through the folder sync and shows as an icon.
source "$(dirname "$0")/lib.sh"

BOX_FOLDER="$WORK/boxes/root/d5555"
mkdir -p "$BOX_FOLDER/photos" "$WORK/source/photos" "$DATA/parts"
printf 'mine\n' >"$BOX_FOLDER/notes.1a2b3c.tessik-part"
printf 'half\n' >"$BOX_FOLDER/movie.mkv.0123456789ab-c0de.tessik-part"
printf 'a\n' >"$WORK/source/photos/a.jpg"
printf 'folder\t%s\nmove\t%s\t%s\n' "$(win_path "$BOX_FOLDER")" "$(win_path "$WORK/source/photos")" \
  "$(win_path "$BOX_FOLDER/photos")" >"$DATA/parts/0123456789ab.tessik-job"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes/root")\"" "showTessikMain : false"
seed_folder_box d5555 "Part box" "$BOX_FOLDER"

start_tessik
pid=$LAST_PID
wait_main_window any
# Every notice of the start is read and closed; one of them tells the
# cut-off move, naming its source.
probe wait "#32770" "Tessik" visible 15000 >/dev/null || fail "nothing was told at the start"
told=""
for _ in $(seq 10); do
  probe wait "#32770" "Tessik" visible 1500 >/dev/null || break
  told+="$(probe item-text "#32770" "Tessik" 65535 || true)"$'\n'
  close_notice || break
done
grep -F "跨磁盘移动文件夹时被中断" <<<"$told" >/dev/null && grep -F "$(win_path "$WORK/source/photos")" <<<"$told" >/dev/null ||
  fail "the cut-off folder move was not told: $told"
wait_file "[ ! -e '$BOX_FOLDER/movie.mkv.0123456789ab-c0de.tessik-part' ]" || fail "the recorded part file stayed"
[ ! -e "$DATA/parts/0123456789ab.tessik-job" ] || fail "the journal stayed"
# The folder sync (every 2.6 s) gives the user's file its record.
wait_file "grep -qF 'notes.1a2b3c.tessik-part' '$DATA/DesktopContainer.kelm'" ||
  wait_file "grep -qF 'notes.1a2b3c.tessik-part' '$DATA/DesktopContainer.kelm'" ||
  fail "the user's file got no icon record"
[ "$(cat "$BOX_FOLDER/notes.1a2b3c.tessik-part")" = mine ] || fail "the user's file is gone"
[ -e "$WORK/source/photos/a.jpg" ] || fail "the move's source lost a file"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
[ -e "$BOX_FOLDER/notes.1a2b3c.tessik-part" ] || fail "the user's file is gone after the quit"
echo "PASS"
