#!/usr/bin/env bash
# Installs what is missing, builds the application bundle and opens the manager window. With no
# display, the manager runs in a virtual display instead: it installs the print service through
# the window and writes screenshots before and after, then prints their paths.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/build.sh" default

app="$root/build/default/Quillo Edge.app/Contents/MacOS/QuilloEdge"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$app"
fi
shots=(bash "$root/scripts/screenshots.sh" "$app" "$root/build/default/screenshots")
# As root the run reaches nothing but this machine: it has a network of its own with only the
# loopback device, so the manager's update check never leaves it.
if [ "$(id -u)" = 0 ]; then
  shots=(unshare -n sh -c 'ip link set lo up && exec "$@"' sh "${shots[@]}")
fi
exec xvfb-run -a -s "-screen 0 1280x800x24" "${shots[@]}"
