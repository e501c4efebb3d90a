#pragma once

#include <filesystem>
#include <optional>

#include <sys/stat.h>

namespace vaultpack {

// Which file a name stood for: its device and inode. Two names stand for the
// same file when their identities match, however each was reached.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;

    static FileIdentity Of(const struct stat& status) { return {status.st_dev, status.st_ino}; }
};

// The identity of the file at path (links followed); nothing when there is none.
inline std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity::Of(status);
}

}  // namespace vaultpack
