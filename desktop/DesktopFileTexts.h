#pragma once

#include <string>

namespace vaultpack {

// The texts of the files that make Vaultpack part of a desktop, with the
// names of app/InstalledFiles.h and the catalogue's translations. They are
// written at build time and installed.

// The desktop entry. Its Exec line names the program as "@BINDIR@/vaultpack":
// the install puts the installed program's folder there.
std::string DesktopEntryText();

// The shared-mime-info package that defines the encrypted file type: the
// "*.ezc" name and the header's "EZC" and version 2 at the start.
std::string MimePackageText();

// The AppStream metainfo: what the program is and does, its release, its
// content rating and the file type it opens.
std::string MetainfoText();

}  // namespace vaultpack
