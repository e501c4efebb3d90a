#!/usr/bin/env bash
# Builds the Debian package of Vaultpack: a Release build installing into
# /usr, packed by CPack (with its runtime dependencies computed by
# dpkg-shlibdeps), then checked by lintian when it is installed.
# The package ends up in build/package/dist/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
for tool in dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: install dpkg-dev and file" >&2; exit 1; }
done

cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVAULTPACK_BUILD_TESTS=OFF
cmake --build build/package --parallel "$(nproc)"
rm -rf build/package/dist
cpack --config build/package/CPackConfig.cmake -B build/package/dist
rm -rf build/package/dist/_CPack_Packages
package=$(ls build/package/dist/*.deb)
if command -v lintian >/dev/null; then
  lintian "$package" || true
fi
echo "$package"
