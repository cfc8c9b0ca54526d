#!/usr/bin/env bash
# Installs what is missing, then configures and builds one preset (default: "default").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-default}

bash "$root/scripts/setup.sh"
cd "$root"
cmake --preset "$preset"
cmake --build --preset "$preset"
