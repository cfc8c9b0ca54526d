#!/usr/bin/env bash
# Installs what is missing, builds the application bundle, and drives the print service through
# the bundle's installer script: install, status, stop, uninstall.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/build.sh" default

bundle="$root/build/default/Quillo Edge.app"
installer="$bundle/Contents/Resources/Installer/install.sh"
binary="$bundle/Contents/Resources/Payload/quillo-edge-server"

step() {
  echo
  echo "\$ install.sh $*"
  /bin/sh "$installer" "$@"
}

echo "Application bundle: $bundle"
find "$bundle" -type f | sed "s|^$bundle/|  |" | sort

step install --binary "$binary" --autostart --json
step status --json
step stop --json
step status --json
step uninstall --json
step status --json
