#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vaultpack {

// One row of the archive builder's list, as the create-archive job reads it.
struct ArchiveItem {
    std::string name;           // the file's name without its folder
    std::string archiveFolder;  // folder inside the archive, each level followed by "\"; empty for a file on its own
    std::filesystem::path sourcePath;

    // The entry name in an archive of the whole list: archiveFolder then name.
    std::string StoredName() const { return archiveFolder + name; }
};

// The create-archive job's record: a snapshot of the builder's rows and the
// options the user chose. At least one of zipEnabled and encryptEnabled is
// set; several items with encryption always have zipEnabled set.
struct CreateArchiveParams {
    std::vector<ArchiveItem> items;
    std::string hint;
    std::string password;  // empty when encryption is off
    // Only for one item with both steps: 0 encrypts first, then zips; any
    // other value zips first, then encrypts.
    std::int32_t order = 1;
    bool zipEnabled = false;
    bool multipleItems = false;
    bool encryptEnabled = false;
    // Files compressed at a time when several are zipped; 0 for one per processor.
    std::uint32_t threads = 0;
    // The ZIP archive itself is protected with `password` as AES-256, which
    // other archivers open; with encryptEnabled too it then goes into the container.
    bool aesZip = false;
};

// The record of the decrypt and unzip jobs. Empty lists make the job ask.
struct FileJobParams {
    std::vector<std::filesystem::path> sourceFiles;
    // Unzip: the folder to unpack into. Decrypt: a folder to restore the
    // plaintext into instead of beside the container; it is never asked for.
    std::vector<std::filesystem::path> destinationFolders;
    bool deleteSourceAfter = false;                          // unzip only: remove the archive afterwards
    std::filesystem::path container{};                       // unzip only: the container the archive was decrypted from
    // Unzip only: replace existing files (true) or keep them (false) without
    // asking, as the user answered already; ask when empty.
    std::optional<bool> replaceAll{};
    // Unzip only: the archive's entries to extract, by index in ascending
    // order; empty for all of them.
    std::vector<std::int64_t> entries{};
    // Decrypt only: a password the user gave already, tried before asking.
    std::optional<std::string> password{};
    // Whether the job ends with its closing box (what was unzipped, that a
    // file was decrypted); not when the archive window restores a container
    // or extracts an entry to open it.
    bool announce = true;
};

}  // namespace vaultpack
