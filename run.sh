#!/usr/bin/env bash
# Installs what is missing, builds Vaultpack (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh build

# Its own build folder without tests, so that it needs none of the test packages.
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=Release -DVAULTPACK_BUILD_TESTS=OFF
cmake --build build/app --parallel "$(nproc)"
exec build/app/ui/vaultpack "$@"
