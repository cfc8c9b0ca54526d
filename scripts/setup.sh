#!/usr/bin/env bash
# Installs every Debian package that building, testing and running the manager needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-webengine-dev qt6-webengine-dev-tools libgl-dev
  qml6-module-qtqml qml6-module-qtqml-workerscript qml6-module-qtqml-models
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
  qml6-module-qtquick-layouts qml6-module-qtquick-window qml6-module-qtquick-dialogs
  qml6-module-qt-labs-platform qml6-module-qtcore qml6-module-qtwebengine
  qml6-module-qtwebchannel qml6-module-qt-labs-folderlistmodel
  qcoro-qt6-dev libplist-dev libssl-dev libarchive-dev nlohmann-json3-dev libcpp-httplib-dev openssl curl
  xvfb xauth fonts-noto-cjk
  adwaita-icon-theme libqt6svg6 qt6-translations-l10n
  xdotool imagemagick desktop-file-utils iproute2
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
