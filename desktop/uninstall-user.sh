#!/bin/sh
# Removes exactly what install-user.sh placed: the bundle in ~/Applications, the desktop entry
# and the icon. The print service and its data are not touched.
set -eu
. "$(dirname "$0")/locations.sh"

removed=
if [ -d "$target" ] && [ ! -L "$target" ]; then
    # Only a bundle of this manager: a folder of that name holding anything else stays.
    if grep -q '<string>dev.quillo.edge</string>' "$target/Contents/Info.plist" 2>/dev/null; then
        rm -rf "$target"
        removed=1
    else
        printf '%s 不是 Quillo Edge 的应用，未移除。\n' "$target" >&2
    fi
fi
for file in "$entry" "$icon"; do
    if [ -f "$file" ] && [ ! -L "$file" ] && grep -qF "$marker" "$file"; then
        rm -f "$file"
        removed=1
    elif [ -e "$file" ] || [ -L "$file" ]; then
        printf '%s 不是 Quillo Edge 安装的文件，未移除。\n' "$file" >&2
    fi
done

if [ -n "$removed" ]; then
    printf 'Quillo Edge 已移除。\n'
else
    printf 'Quillo Edge 未安装，无需移除。\n'
fi
