#pragma once

#include <system_error>
#include <vector>

#include "app/FileTypeRegistry.h"

namespace vaultpack {

// The keys of the encrypted-file association, in the order of removal: the
// user's default for the type, the type's icons, the MIME package that
// defines the type.
std::vector<FileTypeKey> EncryptedFileTypeKeys();

// The keys of the ZIP association: the user's default for application/zip.
std::vector<FileTypeKey> ZipFileTypeKeys();

// Removes the keys in list order and stops at the first one that cannot be
// removed; the keys after it are not attempted. Returns that key's error,
// or no error when the whole list was handled.
std::error_code DeleteKeyChain(const FileTypeRegistry& registry, const std::vector<FileTypeKey>& keys);

// Whether the user's default for application/zip is one of the program's own
// desktop entries, compared exactly (the same letter case, nothing after it but
// the list's closing ";"). The program never makes itself that default, but
// an earlier installer or the user may have.
bool IsZipTypeOwned(const FileTypeRegistry& registry);

}  // namespace vaultpack
