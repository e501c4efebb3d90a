#pragma once

#include <sys/stat.h>

namespace vaultpack {

// The files this process is writing under a temporary name, known by device
// and inode rather than by name: a user's file that only looks like one of
// ours (".vaultpack-abcdefghij.part", say) is an ordinary file.

// While it lives, the file whose status it was given counts as one of this
// process's own temporaries.
class OwnTemporaryFileMark {
public:
    explicit OwnTemporaryFileMark(const struct stat& status);
    ~OwnTemporaryFileMark();
    OwnTemporaryFileMark(const OwnTemporaryFileMark&) = delete;
    OwnTemporaryFileMark& operator=(const OwnTemporaryFileMark&) = delete;

private:
    dev_t device_;
    ino_t inode_;
};

// Whether the file with this status is marked as one of our temporaries.
bool IsOwnTemporaryFile(const struct stat& status);

}  // namespace vaultpack
