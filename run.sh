#!/usr/bin/env bash
# Installs what is missing, builds Vaultpack (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh build

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release --parallel "$(nproc)"
exec build/release/app/vaultpack "$@"
