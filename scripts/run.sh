#!/usr/bin/env bash
# Installs what is missing, builds and starts Tessik.exe under Wine.
# On a display of the caller's it returns once no Tessik.exe of the prefix
# runs any more (a restore or a change of screen starts a new one as the
# old one ends) and leaves every other program of the prefix running.
# Without a display it runs under an Xvfb of its own, leaves
# build/screenshot.png, then ends the Tessik it started and that Xvfb.
# Its prefix, build/wineprefix, is the user's: scripts/test.sh never uses
# it, so the tests can run while a Tessik started here runs on.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
trap stop_own_display EXIT
tessik_setup --target Tessik

# Unix process ids of the Tessik.exe programs of this prefix. Wine names a
# program's process after its path (a Unix path, or a Windows one for a
# program that another one started) and hands WINEPREFIX on to it.
tessik_pids() {
  local entry exe
  for entry in /proc/[0-9]*; do
    exe=""
    { IFS= read -r -d '' exe <"$entry/cmdline"; } 2>/dev/null || true
    exe="${exe##*[/\\]}"
    [ "${exe,,}" = tessik.exe ] || continue
    grep -qzxF "WINEPREFIX=$WINEPREFIX" "$entry/environ" 2>/dev/null || continue
    echo "${entry#/proc/}"
  done
}

if [ -z "$TESSIK_XVFB_PID" ]; then
  status=0
  wine "$TESSIK_BUILD/Tessik.exe" "$@" || status=$?
  # A restarting Tessik starts its successor before it ends: follow each
  # one found until two looks a second apart find none. The list is read
  # only when a followed process has ended.
  quiet=0
  while [ "$quiet" -lt 2 ]; do
    pids="$(tessik_pids)"
    if [ -z "$pids" ]; then
      quiet=$((quiet + 1))
      sleep 1
      continue
    fi
    quiet=0
    status=0
    for pid in $pids; do
      while kill -0 "$pid" 2>/dev/null; do sleep 1; done
    done
  done
  exit "$status"
fi

before=" $(tessik_pids | tr '\n' ' ')"
wine "$TESSIK_BUILD/Tessik.exe" "$@" &
started=$!
sleep "${TESSIK_SCREENSHOT_DELAY:-10}"
import -window root "$TESSIK_BUILD/screenshot.png"
echo "run: screenshot in $TESSIK_BUILD/screenshot.png"
for pid in $(tessik_pids); do
  [[ "$before" == *" $pid "* ]] || kill "$pid" 2>/dev/null || true
done
wait "$started" || true
