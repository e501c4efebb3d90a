#!/usr/bin/env bash
# Installs the Debian packages Vaultpack needs, only those that are missing.
# Usage: scripts/install-deps.sh build|test|package|screenshots
set -euo pipefail

build_packages=(
  cmake ninja-build g++ pkg-config
  zlib1g-dev libdeflate-dev libisal-dev libssl-dev
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins qt6-translations-l10n
)
# libtbb-dev: only for a benchmark that compares oneTBB's pipeline with our
# own worker pool; it is left out of the build when missing.
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev libminizip-dev libtbb-dev
  clang libclang-rt-14-dev
  zip unzip p7zip-full libarchive-tools python3
  xvfb xdotool xclip fonts-noto-cjk
  desktop-file-utils shared-mime-info appstream xdg-utils libfile-mimeinfo-perl libxml2-utils man-db
  dpkg-dev file lintian
)
# What scripts/package.sh needs beyond a build: dpkg-shlibdeps (which reads
# the programs with file) and lintian.
package_packages=(dpkg-dev file lintian)
# Capturing the running program on an X server for docs/screenshots/
# (real-x-*): ImageMagick's import takes a window's picture.
screenshot_packages=(xvfb xdotool fonts-noto-cjk imagemagick)

case "${1:-build}" in
  build) wanted=("${build_packages[@]}") ;;
  test) wanted=("${build_packages[@]}" "${test_packages[@]}") ;;
  package) wanted=("${build_packages[@]}" "${package_packages[@]}") ;;
  screenshots) wanted=("${build_packages[@]}" "${screenshot_packages[@]}") ;;
  *) echo "usage: $0 build|test|package|screenshots" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing missing Debian packages: ${missing[*]}"
sudo_prefix=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_prefix=(sudo)
fi
"${sudo_prefix[@]}" apt-get update -q
"${sudo_prefix[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
