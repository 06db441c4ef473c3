#!/bin/bash
# Runs the launcher: installs what is missing, builds, and starts COBWELD.EXE
# under Wine in your own Wine prefix (where your programs' settings live),
# with the Japanese code page. Arguments go to COBWELD.EXE (an entry index).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${COBWELD_BUILD_DIR:-$root/build}

"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$build" >/dev/null

. "$root/scripts/wine-session.sh"
# Menus on: the Program Manager group becomes a "Cobweld" menu of the Linux
# desktop (the launcher and one item per entry).
use_wine_prefix "${WINEPREFIX:-$HOME/.wine}" menus
exe="$build/bin/COBWELD.EXE"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi

if [ -n "${DISPLAY:-}" ]; then
    exec wine "$exe" "$@"
fi

echo "There is no X display (DISPLAY is not set): the launcher runs under Xvfb,"
echo "where nobody can use it. A screenshot of its window is saved instead."
start_xvfb
trap stop_xvfb EXIT
wine "$exe" "$@" >/dev/null 2>&1 &
launcher=$!
sleep 6
shot="$build/cobweld-window.png"
import -window root "$shot"
echo "Screenshot: $shot"
# Without a display nobody can close it: end the launcher without its close
# questions (nothing has changed, so nothing is lost).
kill "$launcher" 2>/dev/null || true
wait "$launcher" 2>/dev/null || true
