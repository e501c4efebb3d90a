#!/usr/bin/env bash
# Builds the Debian package of Vaultpack: a Release build installing into
# /usr, packed by CPack (with its runtime dependencies computed by
# dpkg-shlibdeps), then checked by lintian.
# The package ends up in build/package/dist/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package

# Debian's hardening flags (fortified functions, stack protector, relro and
# immediate binding), as a package built by Debian's tools would have them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVAULTPACK_BUILD_TESTS=OFF
cmake --build build/package --parallel "$(nproc)"
rm -rf build/package/dist
cpack --config build/package/CPackConfig.cmake -B build/package/dist
rm -rf build/package/dist/_CPack_Packages
package=$(ls build/package/dist/*.deb)
lintian "$package" || true
echo "$package"
