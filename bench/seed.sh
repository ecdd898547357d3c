# Data folders for the benchmarks that start the real program, and the
# check that it runs as a user's would; sourced by bench/*.sh and by the
# end-to-end test that starts Tessik on the same seed.
#
# A data folder in use holds all four stores, each with its own
# "TessikRef" root as a start leaves it. A folder short of one, or a store
# without that root, starts with the notice that settings files are
# damaged or missing, and a figure taken then measures the notice's modal
# loop, not the program.

# A Unix path as Wine's Z: spelling, and as the store writes it
# (backslashes doubled).
seed_win_path() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }
seed_store_path() { seed_win_path "$1" | sed 's|\\|\\\\|g'; }

# Writes the four stores into the data folder $1:
#   $2  the root folder of the normal boxes (a Unix path; made here)
#   $3  the members of "Components" (store text, may be empty)
#   $4  "enabled" of the magnet window: true or false
#   $5… further members of "TessikRef" in "Tessik.kelm" (store text)
seed_data_folder() {
  local data="$1" boxes="$2" components="$3" magnet="$4" line app_lines=""
  shift 4
  mkdir -p "$data" "$boxes"
  for line in "containerDir : \"$(seed_store_path "$boxes")\"" "NewComer : false" "ver : 100" "$@"; do
    [ -n "$app_lines" ] && app_lines+=$',\n'
    app_lines+="    $line"
  done
  printf 'TessikRef{\n%s\n}\n' "$app_lines" >"$data/Tessik.kelm"
  if [ -n "$components" ]; then
    printf 'Components{\n%s\n}\nTessikRef{\n    test : 0\n}\n' "$components" >"$data/DesktopContainer.kelm"
  else
    printf 'TessikRef{\n    test : 0\n}\n' >"$data/DesktopContainer.kelm"
  fi
  printf 'TessikRef{\n    enabled : %s,\n    test : 0\n}\n' "$magnet" >"$data/MagnetCom.kelm"
  printf 'TessikRef{\n    test : 0\n}\n' >"$data/QuickPanelCom.kelm"
}

# One member of "Components": a box showing a folder.
#   $1 id, $2 x, $3 y, $4 width, $5 height, $6 title, $7 folder (Unix path)
seed_box_member() {
  printf '    ComID_%s{\n        id : "%s",\n        x : %s,\n        y : %s,\n        cx : %s,\n        cy : %s,\n        title : "%s",\n        UseTargetFolder : true,\n        IsCustomTarget : true,\n        TargetFolder : "%s"\n    }' \
    "$1" "$1" "$2" "$3" "$4" "$5" "$6" "$(seed_store_path "$7")"
}

# The idle benchmark's boxes: $2 folders of $3 files each under $1, shown
# by boxes 330 wide in two rows of five; prints the "Components" members.
seed_idle_boxes() {
  local root="$1" boxes="$2" icons="$3" b i body=""
  for b in $(seq 0 $((boxes - 1))); do
    local folder="$root/folder$b"
    mkdir -p "$folder"
    for i in $(seq -w 1 "$icons"); do echo "$b $i" >"$folder/file_$i.dat"; done
    [ -n "$body" ] && body+=$',\n'
    body+="$(seed_box_member "box$b" $((20 + (b % 5) * 310)) $((20 + (b / 5) * 480)) 330 460 "盒子 $b" "$folder")"
  done
  printf '%s' "$body"
}

# The message boxes and other system dialogs ("#32770") that the running
# Tessik shows, one line each as WindowProbe lists them. $1: the command
# that runs WindowProbe. The program's windows are those of the processes
# that own a window of its classes.
program_notices() {
  local listing
  listing="$("$@" list)" || return 0
  awk -F'\t' '
    $1 ~ /^(Kelm\.|Tessik\.)/ { own[$4] = 1 }
    $1 == "#32770" { dialog[NR] = $0; pid[NR] = $4 }
    END { for (n in dialog) if (pid[n] in own) print dialog[n] }' <<<"$listing"
}

# Ends the benchmark without a figure when the program shows a message
# box: $1 names the figure, the rest runs WindowProbe.
refuse_with_notice() {
  local what="$1" notices
  shift
  notices="$(program_notices "$@")"
  [ -z "$notices" ] && return 0
  echo "bench: no figure for $what: Tessik shows a message box:" >&2
  awk -F'\t' '{print "  " $1 " \"" $2 "\""}' <<<"$notices" >&2
  exit 1
}

# WindowProbe ($1) with the rest as its arguments, its answer without CRs.
# Wine now and then ends a program at its start on a busy machine (status
# 1, nothing printed): a listing that ends so is asked for again.
bench_probe() {
  local exe="$1" out status attempt
  shift
  for attempt in 1 2 3; do
    status=0
    out="$(wine "$exe" "$@" 2>/dev/null | tr -d '\r'; exit "${PIPESTATUS[0]}")" || status=$?
    [ "$status" = 0 ] || [ -n "$out" ] || [ "${1:-}" != list ] || continue
    break
  done
  [ -z "$out" ] || printf '%s\n' "$out"
  return "$status"
}

# Clock ticks of user and system time of a process.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# The wineserver of this prefix: its working folder is named after the
# prefix's device and inode.
wineserver_pid() {
  local want p
  want="$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")"
  for p in $(pgrep -u "$(id -u)" wineserver || true); do
    case "$(readlink "/proc/$p/cwd" 2>/dev/null)" in */"$want") echo "$p"; return;; esac
  done
}
