#include "files/PendingFile.h"

#include <cerrno>
#include <atomic>
#include <cstdio>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/TemporaryName.h"

namespace vaultpack {

namespace {

// Gives the open file `file` the name `name` in `folder`: through its
// descriptor where the process may, otherwise through /proc.
int LinkDescriptor(int file, int folder, const char* name) {
    if (::linkat(file, "", folder, name, AT_EMPTY_PATH) == 0) {
        return 0;
    }
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", file);
    return ::linkat(AT_FDCWD, procPath, folder, name, AT_SYMLINK_FOLLOW);
}

// Whether this process can give an unnamed file a name: without the
// privilege to link a descriptor and without /proc it cannot, and would only
// find out once a whole file is written. Tried once, with a file of its own,
// in the first folder that has unnamed files; until then, unknown.
enum class Naming { Unknown, Possible, Impossible };
std::atomic<Naming> naming{Naming::Unknown};

void TryNaming(int folder, const std::string& shownFolder) {
    FileHandle probe = FileHandle::CreateUnnamedIn(folder, shownFolder, 0600);
    const std::string name = NewTemporaryOutputName();
    if (LinkDescriptor(probe.Descriptor(), folder, name.c_str()) == 0) {
        ::unlinkat(folder, name.c_str(), 0);
        naming = Naming::Possible;
    } else if (errno != EEXIST) {
        naming = Naming::Impossible;
    }
}

}  // namespace

PendingFile::PendingFile(int folder, const std::string& shownFolder, mode_t mode) : folder_(folder) {
    const GuardedCreation guard;
    RequireCreationAllowed(guard, FileOperation::CreateTemporaryFileIn, shownFolder);
    try {
        if (naming == Naming::Unknown) {
            TryNaming(folder, shownFolder);
        }
        if (naming == Naming::Possible) {
            file_ = FileHandle::CreateUnnamedIn(folder, shownFolder, mode);
            return;
        }
    } catch (const FileError& error) {
        // Kernels and file systems without unnamed files say so in one of these ways.
        if (error.ErrorNumber() != EOPNOTSUPP && error.ErrorNumber() != EISDIR && error.ErrorNumber() != EINVAL) {
            throw;
        }
    }
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporaryName_ = NewTemporaryOutputName();
        bool created = false;
        try {
            created = FileHandle::CreateNewIn(folder, temporaryName_.c_str(), shownFolder, file_, mode);
        } catch (const FileError& error) {
            // The folder is what the user can do something about, not a name made up here.
            throw FileError(FileOperation::CreateTemporaryFileIn, shownFolder, error.ErrorNumber());
        }
        if (created) {
            const struct stat status = file_.Status();
            temporary_ = {folder, temporaryName_.c_str(), status.st_dev, status.st_ino};
            registration_ = RegisterMadeFile(&temporary_);
            return;
        }
    }
    throw FileError(FileOperation::CreateTemporaryFileIn, shownFolder, EEXIST);
}

PendingFile::~PendingFile() {
    if (!published_ && !temporaryName_.empty()) {
        RemoveMadeFile(temporary_);
    }
    UnregisterTemporaryPath(registration_);
}

bool PendingFile::Publish(const std::string& name, const std::string& shownPath, bool replace, MadeFile* keep,
                          int* registration) {
    const struct stat status = file_.Status();
    const GuardedCreation guard;
    RequireCreationAllowed(guard, FileOperation::Replace, shownPath);
    if (keep != nullptr) {
        *keep = {folder_, name.c_str(), status.st_dev, status.st_ino};
        *registration = RegisterMadeFile(keep);
        if (*registration < 0) {
            throw FileError(FileOperation::Replace, shownPath, ENOSPC);
        }
    }
    try {
        if (temporaryName_.empty()) {
            LinkUnnamed(name, shownPath, replace, status);
        } else {
            RenameNamed(name, shownPath, replace);
        }
    } catch (const FileError& error) {
        if (keep != nullptr) {
            UnregisterTemporaryPath(std::exchange(*registration, -1));
        }
        if (error.ErrorNumber() == EEXIST && !replace) {
            return false;
        }
        throw;
    }
    published_ = true;
    return true;
}

void PendingFile::LinkUnnamed(const std::string& name, const std::string& shownPath, bool replace,
                              const struct stat& status) {
    if (!replace) {
        if (LinkDescriptor(file_.Descriptor(), folder_, name.c_str()) != 0) {
            ThrowLastError(FileOperation::Replace, shownPath);
        }
        // A delayed write failure shows at the close: the file then goes again.
        try {
            file_.Close();
        } catch (const FileError&) {
            RemoveMadeFile({folder_, name.c_str(), status.st_dev, status.st_ino});
            throw;
        }
        return;
    }
    // A link replaces nothing: the file gets a temporary name first, which
    // then replaces the target in one step.
    int error = 0;
    temporaryName_ = MakeUnderNewTemporaryName(
        [&](const char* candidate) { return LinkDescriptor(file_.Descriptor(), folder_, candidate); }, error);
    if (temporaryName_.empty()) {
        throw FileError(FileOperation::Replace, shownPath, error);
    }
    temporary_ = {folder_, temporaryName_.c_str(), status.st_dev, status.st_ino};
    registration_ = RegisterMadeFile(&temporary_);
    RenameNamed(name, shownPath, true);
}

void PendingFile::RenameNamed(const std::string& name, const std::string& shownPath, bool replace) {
    file_.Close();  // a delayed write failure shows here, before the file has its name
    const char* from = temporaryName_.c_str();
    int result = replace ? ::renameat(folder_, from, folder_, name.c_str())
                         : ::renameat2(folder_, from, folder_, name.c_str(), RENAME_NOREPLACE);
    if (result != 0 && !replace && (errno == EINVAL || errno == ENOSYS)) {
        // No renaming without replacing here: a second name, which then the temporary gives up.
        result = ::linkat(folder_, from, folder_, name.c_str(), 0);
        if (result == 0) {
            ::unlinkat(folder_, from, 0);
        }
    }
    if (result != 0) {
        ThrowLastError(FileOperation::Replace, shownPath);
    }
}

}  // namespace vaultpack
