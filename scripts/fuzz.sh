#!/usr/bin/env bash
# Installs what is missing (clang and libFuzzer's runtime too), builds the fuzz targets and runs
# them one after another, each as one nice'd process.
# Usage: scripts/fuzz.sh [TARGET...] [-- LIBFUZZER-OPTION...]
#   TARGET: installer_output semantic_version release_manifest internet_date_time
#           updater_command_line property_list (default: all of them, in that order)
#   Options default to -max_total_time=600 per target; e.g. -- -runs=1000000 or
#   -- -max_total_time=86400.
# Inputs it discovers collect in build/fuzz/corpus/TARGET; an input that breaks a check is
# saved in build/fuzz/findings/TARGET/ and stops the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
all_targets=(installer_output semantic_version release_manifest internet_date_time updater_command_line property_list)

targets=()
options=()
while [ $# -gt 0 ]; do
  case "$1" in
  --) shift; options=("$@"); break ;;
  *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
[ ${#options[@]} -gt 0 ] || options=(-max_total_time=600)
for target in "${targets[@]}"; do
  [ -f "$root/fuzz/fuzz_$target.cpp" ] || { echo "fuzz.sh: no target named $target" >&2; exit 2; }
done

bash "$root/scripts/setup.sh"
missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

cd "$root"
# The lock keeps this build from running beside another build in the same tree.
lock=${QUILLO_BUILD_LOCK:-/tmp/quillo-build.lock}
flock "$lock" cmake --preset fuzz >/dev/null
flock "$lock" nice cmake --build --preset fuzz

for target in "${targets[@]}"; do
  corpus="build/fuzz/corpus/$target"
  findings="build/fuzz/findings/$target"
  mkdir -p "$corpus" "$findings"
  echo "== fuzz_$target ${options[*]}"
  # New inputs go to the first folder; the seeds in fuzz/corpus stay as they are.
  nice build/fuzz/fuzz/"fuzz_$target" "$corpus" "fuzz/corpus/$target" \
    -artifact_prefix="$findings/" -print_final_stats=1 "${options[@]}"
done
