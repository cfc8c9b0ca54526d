#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
# Usage: scripts/test.sh [default|asan]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-default}

bash "$root/scripts/build.sh" "$preset"
cd "$root"
# Tests that show windows get a virtual display; the rest run offscreen.
xvfb-run -a ctest --preset "$preset" -j2
