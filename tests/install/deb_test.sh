#!/usr/bin/env bash
# Builds the Debian package from this build, compares its files with what a
# staged install of the same build puts in place, requires lintian to report
# no error (its warnings are printed), runs the programs from the unpacked
# package, and checks that its version, home page and licence are those of
# the changelog and the metainfo.
# Usage: deb_test.sh BUILD_DIR
set -euo pipefail

build=$(realpath "$1")
source "$(dirname "$0")/test_support.sh"
require_tools cpack dpkg-deb dpkg-shlibdeps dpkg-parsechangelog lintian

cpack --config "$build/CPackConfig.cmake" -B "$work/dist" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
package=$(ls "$work"/dist/*.deb)

# The package holds exactly the files of a staged install and its documents.
for component in Unspecified debian; do
  DESTDIR=$work/stage cmake --install "$build" --prefix /usr --component "$component" >/dev/null
done
(cd "$work/stage" && find . -type f | sort) >"$work/expected"
dpkg-deb -c "$package" | awk '$1 ~ /^-/ {print $6}' | sort >"$work/packaged"
diff -u "$work/expected" "$work/packaged" || fail "the package's files differ from the install's"

# lintian: no error; the warnings are shown in the test's output.
lintian "$package" >"$work/lintian.log" 2>&1 || true
grep -v "running with root privileges" "$work/lintian.log" || true
! grep -q "^E:" "$work/lintian.log" || fail "lintian reports errors"

# The programs run from the unpacked package.
dpkg-deb -x "$package" "$work/root"
version=$("$work/root/usr/bin/vaultpack" -v </dev/null) || fail "vaultpack -v failed"
[[ $version == 1.05.* ]] || fail "vaultpack -v printed '$version'"
"$work/root/usr/bin/vaultpack-cli" --version >/dev/null || fail "vaultpack-cli --version failed"
depends=$(dpkg-deb -f "$package" Depends)
[[ $depends == *libqt6widgets6* ]] || fail "the library dependencies were not computed: $depends"
[[ $depends == *qt6-qpa-plugins* && $depends == *libqt6svg6* ]] || fail "the plugins Qt loads are missing: $depends"

# The package is the changelog's first entry, and states the home page and
# the licence the metainfo states (a licence without an SPDX identifier is
# "LicenseRef-" and its name there).
changelog=$(dirname "$0")/../../desktop/debian/changelog
expected=$(dpkg-parsechangelog -l "$changelog" -S Version)
[[ $(dpkg-deb -f "$package" Version) == "$expected" ]] || fail "the package's version is not the changelog's $expected"
metainfo=$work/root/usr/share/metainfo/org.vaultpack.Vaultpack.metainfo.xml
homepage=$(dpkg-deb -f "$package" Homepage)
[[ -n $homepage ]] && grep -qF "<url type=\"homepage\">$homepage</url>" "$metainfo" ||
  fail "the package's home page '$homepage' is not the metainfo's"
license=$(sed -n 's/^License: //p' "$work/root/usr/share/doc/vaultpack/copyright")
grep -qE "<project_license>(LicenseRef-)?$license</project_license>" "$metainfo" ||
  fail "the copyright's licence '$license' is not the metainfo's"

finish "deb test"
