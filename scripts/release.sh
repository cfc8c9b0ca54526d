#!/usr/bin/env bash
# Makes a Linux release of the manager in DIR: the bundle built as VERSION (BUILD), signed,
# packed as Quillo-Edge-VERSION-linux-x86_64.tar.xz, and the manifest.json that announces it.
#   bash scripts/release.sh --version V --build B --out DIR [--key PRIVATE_KEY_FILE] [--base-url URL]
# Without --key the bundle is signed with the default build's own key (build/default/release-key),
# the one every build of this checkout trusts. The released bundle trusts the key that signed it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  echo "usage: $0 --version V --build B --out DIR [--key PRIVATE_KEY_FILE] [--base-url URL]" >&2
  exit 2
}

version= build= out= key= base_url=
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case "$1" in
    --version) version=$2 ;;
    --build) build=$2 ;;
    --out) out=$2 ;;
    --key) key=$2 ;;
    --base-url) base_url=$2 ;;
    *) usage ;;
  esac
  shift 2
done
[[ $version =~ ^(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)\.(0|[1-9][0-9]*)$ ]] || { echo "not a version: $version" >&2; exit 2; }
[[ $build =~ ^(0|[1-9][0-9]{0,17})$ ]] || { echo "not a build number: $build" >&2; exit 2; }
[ -n "$out" ] || usage
base_url=${base_url:-https://releases.quillo.dev/quillo/releases/linux/$version}
base_url=${base_url%/}
[[ $base_url =~ ^https?://[^[:space:]\"]+$ ]] || { echo "not a URL: $base_url" >&2; exit 2; }

if [ -z "$key" ]; then
  key="$root/build/default/release-key/private.pem"
  [ -f "$key" ] || (cd "$root" && cmake --preset default >/dev/null)
fi
[ -f "$key" ] || { echo "no private key at $key" >&2; exit 1; }

build_dir="$root/build/release"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build_dir" "$out"
openssl pkey -in "$key" -pubout -out "$build_dir/release-public.pem"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLO_WARNINGS_AS_ERRORS=ON \
  -DQUILLO_VERSION="$version" -DQUILLO_BUILD_NUMBER="$build" \
  -DQUILLO_RELEASE_PUBLIC_KEY="$build_dir/release-public.pem" "${launcher[@]}" >/dev/null
cmake --build "$build_dir" -j2 --target QuilloEdge QuilloEdgeUpdater quillo-edge-server quillo-edge-installer \
  quillo-bundle-sign

# Signed outside the build tree, with nothing in it that others may change.
cp -a "$build_dir/Quillo Edge.app" "$work/"
chmod -R go-w "$work/Quillo Edge.app"
team=$("$build_dir/tools/bundle-sign/quillo-bundle-sign" "$work/Quillo Edge.app" "$key")

name="Quillo-Edge-$version-linux-x86_64.tar.xz"
tar --sort=name --owner=0 --group=0 --numeric-owner -C "$work" -cJf "$work/$name" "Quillo Edge.app"
mv "$work/$name" "$out/$name"
size=$(stat -c %s "$out/$name")
sha256=$(sha256sum "$out/$name" | cut -d' ' -f1)
cat > "$out/manifest.json" <<JSON
{
  "schemaVersion": 1,
  "component": "linux",
  "version": "$version",
  "buildNumber": $build,
  "releasedAt": "$(date -u +%Y-%m-%dT%H:%M:%SZ)",
  "artifacts": [
    {"name": "$name", "size": $size, "sha256": "$sha256", "url": "$base_url/$name"}
  ]
}
JSON
echo "Released $version ($build), signed by $team:"
echo "  $out/$name"
echo "  $out/manifest.json (publish as …/quillo/releases/linux/latest/manifest.json, the archive at $base_url/)"
