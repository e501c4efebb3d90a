#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vaultpack {

// The names under which Vaultpack is installed into a desktop: the install
// rules put these files in place, and "-u" removes them again from the
// user's data folder. One set of names for both, given by the build.

// The application id: the desktop entry's name without ".desktop", the icon
// name and the name of the MIME package and of the metainfo file.
std::string_view ApplicationId();
// "org.vaultpack.Vaultpack.desktop", the name mimeapps.list uses.
std::string DesktopEntryName();
// "org.vaultpack.VaultpackOpen.desktop": the entry, hidden from the menu,
// that offers the program in a file manager's "Open With" for ZIP archives
// and containers.
// It is never made a default application.
std::string OpenEntryName();
// The MIME type of the encrypted files (".ezc").
std::string_view EncryptedFileMimeType();
// The MIME type of ZIP archives.
std::string_view ZipMimeType();

// Relative to a data folder (a prefix's share/ or $XDG_DATA_HOME): the
// desktop entries: the program's menu entry and its "Open With" entry.
std::vector<std::filesystem::path> DesktopEntryFiles();
// The encrypted file type's icons, deepest sizes first, then the MIME package
// that defines the type.
std::vector<std::filesystem::path> EncryptedFileTypeFiles();
// Everything else of the program in a data folder: its icons, metainfo,
// manual pages and shell completion.
std::vector<std::filesystem::path> ProgramDataFiles();

// The command-line program installed beside the desktop program.
std::string_view CommandLineProgramName();

}  // namespace vaultpack
