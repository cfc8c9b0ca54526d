#!/usr/bin/env bash
# Runs the manager in the current (virtual) display, presses "启用并启动" and takes two
# screenshots: before the print service is installed and with its management page showing.
# Usage: scripts/screenshots.sh PATH-TO-QuilloEdge OUTPUT-FOLDER
set -euo pipefail
app=$1
out=$2
mkdir -p "$out"
log="$out/manager.log"

"$app" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

fail() {
  echo "screenshots: $1" >&2
  sed 's/^/  | /' "$log" >&2
  exit 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 4))); do
    "$@" >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || fail "the manager exited early"
    sleep 0.25
  done
  return 1
}

wait_for 60 xdotool search --onlyvisible --name '^Quillo Edge$' || fail "no window appeared"
window=$(xdotool search --onlyvisible --name '^Quillo Edge$' | head -n 1)
sleep 3 # the first status read and the first frames
before="$out/1-before-install.png"
import -window "$window" "$before"

# The install card's button holds the keyboard focus.
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers space
health_url="http://127.0.0.1:${QUILLO_EDGE_SERVER_PORT:-6176}/health"
wait_for 90 curl -fsS "$health_url" || fail "the print service did not come up"
sleep 8 # the next status poll, then the page loads and paints
after="$out/2-management-page.png"
import -window "$window" "$after"

kill "$pid"
wait "$pid" 2>/dev/null || true
trap - EXIT
echo "Screenshot before installing: $before"
echo "Screenshot with the management page: $after"
