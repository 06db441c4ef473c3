#!/bin/bash
# Runs every test: installs what is missing, builds, creates a fresh Wine
# prefix inside the build tree and runs CTest under a private Xvfb.
# Extra arguments go to ctest (for example -R Registry).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${COBWELD_BUILD_DIR:-$root/build}

"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$build"

. "$root/scripts/wine-session.sh"
use_wine_prefix "$build/wineprefix"

cleanup() {
    wineserver -k 2>/dev/null || true
    stop_xvfb
}
trap cleanup EXIT

# Always the tests' own display, never the user's desktop.
start_xvfb
echo "Tests run on Xvfb display $DISPLAY, Wine prefix $WINEPREFIX"

fresh_wine_prefix
# One wineserver for the whole run keeps each test's start short; the
# session's own processes (services, desktop, Program Manager) start now, so
# that none starts inside a test and holds on to its output.
wineserver -p
wine "$build/bin/settings_app.exe" warmup >/dev/null 2>&1 || echo "warning: Program Manager (DDE) did not answer" >&2

ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
