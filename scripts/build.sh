#!/bin/bash
# Configures and builds everything (COBWELD.EXE, the tests, the tools and the
# benchmarks) into the build tree. Usage: scripts/build.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${COBWELD_BUILD_DIR:-$root/build}}
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
