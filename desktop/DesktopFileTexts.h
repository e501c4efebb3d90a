#pragma once

#include <string>
#include <string_view>

namespace vaultpack {

// The texts of the files that make Vaultpack part of a desktop, with the
// names of app/InstalledFiles.h and the catalogue's translations. They are
// written at build time and installed.

// The desktop entry. Its Exec line names the program as "@BINDIR@/vaultpack":
// the install puts the installed program's folder there.
std::string DesktopEntryText();

// The "Open With" entry for ZIP archives: hidden from the menu, it starts
// "@BINDIR@/vaultpack --open FILE".
std::string OpenEntryText();

// The shared-mime-info package that defines the encrypted file type: the
// "*.ezc" name and the header's "EZC" and version 2 at the start.
std::string MimePackageText();

// What the build states about the package (the top CMakeLists.txt and the
// first entry of desktop/debian/changelog).
struct PackageFacts {
    std::string_view version;      // "1.05"
    std::string_view releaseDate;  // ISO 8601: "2026-12-07"
    std::string_view homepage;
    std::string_view license;      // an SPDX expression
};

// The AppStream metainfo: what the program is and does, its home page,
// licence and release, its content rating and the file type it opens.
std::string MetainfoText(const PackageFacts& facts);

}  // namespace vaultpack
