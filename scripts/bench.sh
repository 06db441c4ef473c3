#!/bin/bash
# Runs the benchmarks: installs what is missing, builds, creates a fresh Wine
# prefix in <build>/bench-prefix (never your own), runs the tree-copy, the
# settings-folder, the registry-file import, the start-up and the
# responsiveness benchmarks and prints their tables, also kept in
# <build>/bench-results.txt. Takes about fifty-five minutes. Options: --quick
# runs two repetitions of everything (one of the slowest), to see that it
# works; --tree NAME (typical, wide, deep, large or huge) copies only that
# registry tree; --files runs only the settings-folder benchmark (with --tree
# appdata or media, only that folder tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${COBWELD_BUILD_DIR:-$root/build}

"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$build" >/dev/null

. "$root/scripts/wine-session.sh"
use_wine_prefix "$build/bench-prefix"

cleanup() {
    wineserver -k 2>/dev/null || true
    stop_xvfb
}
trap cleanup EXIT

# regedit is a windowed program: give Wine a display when there is none.
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb
fi

echo "Creating the Wine prefix $WINEPREFIX"
fresh_wine_prefix
# One wineserver for the whole run, its session processes started now (with
# their output going nowhere) rather than inside a timed copy.
wineserver -p
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true

quick=
files=
args=()
for arg in "$@"; do
    case $arg in
        --quick) quick=1; args+=("$arg") ;;
        --files) files=1 ;;
        *) args+=("$arg") ;;
    esac
done

results="$build/bench-results.txt"
rm -f "$results"
winresults=$(winepath -w "$results")
{
    echo "Cobweld benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $(wine --version 2>/dev/null), $(nproc) CPUs"
    echo
} >"$results"
if [ -n "$files" ]; then
    wine "$build/bin/bench_filetree.exe" "$winresults" "${args[@]}" >/dev/null </dev/null
else
    wine "$build/bin/bench_treecopy.exe" "$winresults" "${args[@]}" >/dev/null </dev/null
    echo >>"$results"
    wine "$build/bin/bench_filetree.exe" "$winresults" ${quick:+--quick} >/dev/null </dev/null
    echo >>"$results"
    wine "$build/bin/bench_regimport.exe" "$winresults" ${quick:+--quick} >/dev/null </dev/null
    echo >>"$results"
    wine "$build/bin/bench_startup.exe" "$winresults" ${quick:+--quick} >/dev/null </dev/null
    echo >>"$results"
    wine "$build/bin/bench_responsiveness.exe" "$winresults" ${quick:+--quick} >/dev/null </dev/null
fi

echo
cat "$results"
echo
echo "Results: $results"
