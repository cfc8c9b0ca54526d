#!/bin/sh
# Installs the manager for the user who runs it, with no root and no system folders: the bundle
# in ~/Applications, a desktop entry and the application icon. It writes nothing beside its
# sources, so any user who can read the build can run it.
# Usage: install-user.sh [BUILT-BUNDLE [ICON]] (default: the default build's bundle, the icon here)
set -eu
bundle_source=${1:-$(dirname "$0")/../build/default/Quillo Edge.app}
icon_source=${2:-$(dirname "$0")/dev.quillo.edge.svg}
. "$(dirname "$0")/locations.sh"

fail() {
    printf 'Quillo Edge 安装失败：%s\n' "$1" >&2
    exit 1
}

# A folder the install writes into; a file in its place is never replaced.
prepare_folder() {
    if [ -e "$1" ] && [ ! -d "$1" ]; then
        fail "$1 不是文件夹"
    fi
    mkdir -p "$1" 2>/dev/null || fail "无法创建文件夹 $1"
    [ -w "$1" ] || fail "无法写入文件夹 $1"
}

# The Exec value of a desktop entry: the path quoted, then escaped as a string value.
exec_value() {
    printf '"%s"' "$(printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g')" | sed -e 's/\\/\\\\/g' -e 's/%/%%/g'
}

[ -x "$bundle_source/Contents/MacOS/QuilloEdge" ] || fail "找不到构建好的应用 $bundle_source"
case $target in
    *'
'*) fail "安装位置的路径中含有换行符" ;;
esac
prepare_folder "$apps_dir"
prepare_folder "$entry_dir"
prepare_folder "$icon_dir"
if [ -L "$target" ] || { [ -e "$target" ] && [ ! -d "$target" ]; }; then
    fail "$target 不是文件夹"
fi

# A half-copied bundle never stands at the target name: the copy is made beside it and then
# renamed into place. A running manager keeps its files until it quits.
staging=$(mktemp -d "$apps_dir/.Quillo Edge.install-XXXXXX") || fail "无法在 $apps_dir 中创建临时文件夹"
# Until the install has succeeded, the earlier bundle may be the only copy: it is never deleted here.
finish() {
    rm -rf "$staging/new" "$staging/entry" "$staging/icon"
    [ ! -e "$staging/previous" ] || printf '之前安装的应用保留在 %s\n' "$staging/previous" >&2
    rmdir "$staging" 2>/dev/null || :
}
trap finish EXIT
cp -R -P -p "$bundle_source" "$staging/new" || fail "无法复制应用到 $apps_dir"
# -T: a folder that another install put at the target meanwhile is never moved into.
if [ -e "$target" ]; then
    mv -T "$target" "$staging/previous" || fail "无法移开之前安装的应用"
fi
if ! mv -T "$staging/new" "$target"; then
    [ ! -e "$staging/previous" ] || mv -T "$staging/previous" "$target" || :
    fail "无法把应用移到 $target"
fi

program=$target/Contents/MacOS/QuilloEdge
cat >"$staging/entry" <<ENTRY
[Desktop Entry]
Type=Application
Name=Quillo Edge
Comment=本机打印与设备接入
Exec=$(exec_value "$program")
Icon=dev.quillo.edge
Terminal=false
Categories=Settings;HardwareSettings;Printing;
StartupNotify=true
StartupWMClass=Quillo Edge
$marker
ENTRY
mv -T "$staging/entry" "$entry" || fail "无法写入 $entry"
{ cat "$icon_source" && printf '<!-- %s -->\n' "$marker"; } >"$staging/icon" && mv -T "$staging/icon" "$icon" ||
    fail "无法写入 $icon"
rm -rf "$staging/previous" || :

printf 'Quillo Edge 已安装到 %s\n' "$target"
