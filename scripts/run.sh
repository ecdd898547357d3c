#!/usr/bin/env bash
# Installs what is missing, builds and starts Tessik.exe under Wine.
# Without a display it runs under Xvfb and leaves build/screenshot.png.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
had_display="${DISPLAY:-}"
trap stop_display EXIT
tessik_setup --target Tessik
if [ -n "$had_display" ]; then
  wine "$TESSIK_BUILD/Tessik.exe" "$@"
else
  wine "$TESSIK_BUILD/Tessik.exe" "$@" &
  sleep "${TESSIK_SCREENSHOT_DELAY:-10}"
  import -window root "$TESSIK_BUILD/screenshot.png"
  echo "run: screenshot in $TESSIK_BUILD/screenshot.png"
fi
