#!/usr/bin/env bash
# Renders every window of the program to PNG files, once per interface
# language, without a display: build/screenshots/<window>-<language>.png.
# Usage: scripts/screenshots.sh [window ...]   (all windows when none named)
# BUILD_DIR chooses the build to reuse or make (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build/release}
output_dir=build/screenshots

if [[ ! -f "$build_dir/build.ninja" ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build_dir" --target vaultpack_screenshots

for locale in en_US.UTF-8 zh_TW.UTF-8 ja_JP.UTF-8 zh_CN.UTF-8; do
  # The catalogue reads the language from these variables; LANG alone decides.
  env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG="$locale" QT_QPA_PLATFORM=offscreen \
    "$build_dir/ui/vaultpack_screenshots" "$output_dir" "$@"
done
