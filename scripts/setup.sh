#!/usr/bin/env bash
# Installs what is missing, builds incrementally and prepares the project's
# Wine prefixes: run.sh's (tessik_setup) and the tests' template and lanes
# (test.sh). Sourced by run.sh, test.sh and the benchmarks; safe to run
# again and again.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

APT_PACKAGES=(mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool
  fonts-wqy-microhei fonts-wine imagemagick libtsl-ordered-map-dev googletest
  cmake make x11-utils)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing_packages() {
  local missing=()
  for p in "${APT_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  command -v npm >/dev/null 2>&1 || missing+=(npm)
  if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

install_icon_font() {
  if [ ! -f "$TESSIK_ROOT/node_modules/@fortawesome/fontawesome-free/webfonts/fa-solid-900.ttf" ]; then
    echo "setup: installing the icon font package"
    (cd "$TESSIK_ROOT" && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

build() {
  # Paths below the source tree reach the compiler cache relative to it,
  # so another clone or work tree of the project shares its entries.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$TESSIK_ROOT}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
  if [ ! -f "$TESSIK_BUILD/CMakeCache.txt" ]; then
    # A compiler cache, where the machine has one, makes a fresh clone's
    # first build take minutes less; the build is the same without it.
    local launcher=()
    if command -v ccache >/dev/null 2>&1; then
      launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$TESSIK_ROOT" -B "$TESSIK_BUILD" \
      -DCMAKE_TOOLCHAIN_FILE="$TESSIK_ROOT/cmake/mingw-w64-x86_64.cmake" "${launcher[@]}" >/dev/null
  fi
  cmake --build "$TESSIK_BUILD" -j"${TESSIK_BUILD_JOBS:-$(nproc)}" "$@"
}

# Starts an Xvfb of its own and exports its DISPLAY; stop_own_display ends
# it. Xvfb picks the first free display number itself (its lock file is
# made atomically): suites started at the same moment on one machine never
# share a display, whose windows, pointer and end they would take from each
# other.
TESSIK_XVFB_PID=""
TESSIK_XVFB_PIDS=()
start_display() {
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  TESSIK_XVFB_PID=$!
  TESSIK_XVFB_PIDS+=("$TESSIK_XVFB_PID")
  # The number is written once the display takes connections.
  for _ in $(seq 300); do
    [ -s "$number_file" ] && break
    kill -0 "$TESSIK_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  export DISPLAY=":$(tr -d '\n' <"$number_file")"
  rm -f "$number_file"
  if [ "$DISPLAY" = ":" ] || ! xdpyinfo >/dev/null 2>&1; then
    echo "setup: Xvfb did not start" >&2
    return 1
  fi
}

# Starts Xvfb when there is no display; the caller's EXIT trap stops it.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  start_display
}

# Ends the Xvfbs that this shell started, and nothing else.
stop_own_display() {
  local pid
  for pid in "${TESSIK_XVFB_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  TESSIK_XVFB_PIDS=()
}

# For scripts that started every program of the prefix themselves (the
# benchmarks): ends them all, then the Xvfb they ran on.
stop_display() {
  wineserver -k >/dev/null 2>&1 || true
  stop_own_display
}

# Bump when the prefix settings below change, so existing prefixes get them.
TESSIK_PREFIX_VERSION=6

# "wine reg add" with its arguments. On a loaded machine one such call was
# seen to fail without a word while the prefix was made: it is run again, a
# few times at most, and a last failure names the value.
prefix_reg_add() {
  local attempt
  for attempt in 1 2 3; do
    wine reg add "$@" /f >/dev/null 2>&1 && return 0
  done
  echo "setup: could not set $1 $3 in the Wine prefix" >&2
  return 1
}

prepare_wine_prefix() {
  local marker="$WINEPREFIX/.tessik-ready"
  [ -f "$marker" ] && [ "$(cat "$marker")" = "$TESSIK_PREFIX_VERSION" ] && return
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "setup: creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # DirectWrite finds "Segoe UI" (and the monospace "Consolas" of key caps)
  # only through these replacements.
  prefix_reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Segoe UI' /t REG_SZ /d 'WenQuanYi Micro Hei'
  prefix_reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Consolas' /t REG_SZ /d 'WenQuanYi Micro Hei Mono'
  # Message boxes and the other system dialogs draw with the dialog fonts
  # (Wine's own Tahoma among them, which has no Chinese): without these
  # their Chinese text shows as empty boxes.
  local face
  for face in 'MS Shell Dlg' 'MS Shell Dlg 2' 'Tahoma' 'Microsoft YaHei' 'SimSun'; do
    prefix_reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d 'WenQuanYi Micro Hei'
  done
  # A crashing test must end at once instead of waiting in winedbg.
  prefix_reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1
  prefix_reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d false
  # With no window manager on the test display, hiding or destroying a
  # window that Wine hands to the window manager waits 2 s for an answer
  # that never comes; popups and menus open and close in every test.
  prefix_reg_add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
  # Wine's Direct3D runs its commands on a thread of its own that spins on
  # the processor for a while after every frame instead of waiting; a
  # blinking caret alone kept it busy at 60% of a core. Without that thread
  # each frame is drawn on the thread that asks for it, as Windows does.
  prefix_reg_add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0
  # A fixed drive D: of the prefix's own, on its folder drive_d. A first
  # start puts the normal boxes' folder on the first fixed drive that is
  # not C:; without D: that is Wine's Z:, the host's "/", outside the
  # prefix.
  mkdir -p "$WINEPREFIX/drive_d"
  ln -sfn ../drive_d "$WINEPREFIX/dosdevices/d:"
  prefix_reg_add 'HKLM\Software\Wine\Drives' /v 'd:' /t REG_SZ /d hd
  wineserver -w
  echo "$TESSIK_PREFIX_VERSION" > "$marker"
}

# The user folders of a new prefix (Desktop, Documents, Downloads ...) are
# links to the host's home: whatever a test sends to the Desktop (a
# disbanded box's files) would land among the user's own files, and a
# delete there would reach them. In the tests' prefixes each is a folder of
# the prefix's own.
own_user_folders() {
  local entry
  for entry in "$WINEPREFIX"/drive_c/users/*/*; do
    [ -L "$entry" ] || continue
    rm "$entry"
    mkdir "$entry"
  done
}
# Fails when a user folder of the prefix $1 still leads out of it.
user_folders_own() {
  local entry
  for entry in "$1"/drive_c/users/*/*; do
    if [ -L "$entry" ]; then
      echo "setup: $entry leads to $(readlink "$entry"), outside the test prefix" >&2
      return 1
    fi
  done
}

# The tests' template prefix: made fresh by setup (never a copy of run.sh's
# prefix, which holds the user's data folder and settings), prepared as the
# run prefix is, with user folders of its own, and never run afterwards.
# Made again when its settings change. Needs a display.
TESSIK_TEMPLATE_VERSION="$TESSIK_PREFIX_VERSION.1"
prepare_test_template() {
  local template="$TESSIK_TEST_PREFIXES/template"
  [ -f "$template/.tessik-template" ] && [ "$(cat "$template/.tessik-template")" = "$TESSIK_TEMPLATE_VERSION" ] &&
    return
  WINEPREFIX="$template" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$template"
  (
    export WINEPREFIX="$template"
    prepare_wine_prefix
    own_user_folders
    user_folders_own "$WINEPREFIX"
  )
  echo "$TESSIK_TEMPLATE_VERSION" >"$template/.tessik-template"
}

# A test lane's own prefix ($1): a fresh copy of the template at every
# run, so nothing a test left in a lane (a Run value, a store in the
# per-user folder, a drive letter) reaches the next run. Every link the
# prefix holds itself (dosdevices: c:, d:) is relative and so leads into
# the copy. A wineserver still running for the lane (a run that was ended
# hard) is ended first: the lane is the tests' own.
prepare_lane_prefix() {
  local lane_prefix="$1"
  WINEPREFIX="$lane_prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$lane_prefix" "$lane_prefix.part"
  cp -a "$TESSIK_TEST_PREFIXES/template" "$lane_prefix.part"
  rm -f "$lane_prefix.part/.tessik-template"
  mv "$lane_prefix.part" "$lane_prefix"
  user_folders_own "$lane_prefix"
}

tessik_setup() {
  install_missing_packages
  install_icon_font
  build "$@"
  ensure_display
  prepare_wine_prefix
}
