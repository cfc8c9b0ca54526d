#!/usr/bin/env bash
# Runs the manager in the current (virtual) display, presses "启用并启动" and takes screenshots:
# before the print service is installed, with its management page showing, then the settings
# window and its removal confirmation.
# Everything it installs lives in a temporary home folder and is removed at the end.
# Usage: scripts/screenshots.sh PATH-TO-QuilloEdge OUTPUT-FOLDER
set -euo pipefail
app=$1
out=$2
mkdir -p "$out"
out=$(cd "$out" && pwd)
log="$out/manager.log"
installer="$(dirname "$app")/../Resources/Installer/install.sh"

HOME=$(mktemp -d)
export HOME
unset XDG_DATA_HOME XDG_STATE_HOME XDG_CONFIG_HOME XDG_CACHE_HOME
cleanup() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  /bin/sh "$installer" uninstall --json >/dev/null 2>&1 || true
  rm -rf "$HOME"
}

health_url="http://127.0.0.1:${QUILLO_EDGE_SERVER_PORT:-6176}/health"
if curl -fsS "$health_url" >/dev/null 2>&1; then
  echo "screenshots: a print service already answers at $health_url; remove it first" >&2
  exit 1
fi

"$app" >"$log" 2>&1 &
pid=$!
trap cleanup EXIT

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
wait_for 90 curl -fsS "$health_url" || fail "the print service did not come up"
sleep 8 # the next status poll, then the page loads and paints
after="$out/2-management-page.png"
import -window "$window" "$after"

# The settings window, through the application's settings shortcut.
xdotool key --clearmodifiers ctrl+comma
wait_for 20 xdotool search --onlyvisible --name '^设置$' || fail "no settings window appeared"
settings_window=$(xdotool search --onlyvisible --name '^设置$' | head -n 1)
sleep 2
settings="$out/3-settings.png"
import -window "$settings_window" "$settings"

# "移除打印服务…" is the last control, one Shift+Tab away; Space asks for the confirmation,
# Escape cancels it.
xdotool windowfocus --sync "$settings_window"
xdotool key --clearmodifiers shift+Tab space
sleep 1
confirmation="$out/4-removal-confirmation.png"
import -window "$settings_window" "$confirmation"
xdotool key --clearmodifiers Escape

echo "Screenshot before installing: $before"
echo "Screenshot with the management page: $after"
echo "Screenshot of the settings window: $settings"
echo "Screenshot of the removal confirmation: $confirmation"
