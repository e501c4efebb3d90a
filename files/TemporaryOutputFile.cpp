#include "files/TemporaryOutputFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/TemporaryFileRegistry.h"

namespace vaultpack {

namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::string_view kPrefix = ".vaultpack-", kSuffix = ".part";
constexpr std::size_t kRandomLetters = 10;

// Seeded once per thread: asking the system for entropy costs tens of
// microseconds, which dominated extracting many small files. The names only
// need to differ; O_EXCL at creation settles any clash.
std::mt19937_64& NameGenerator() {
    thread_local std::mt19937_64 generator{[] {
        std::random_device seed;
        return (static_cast<std::uint64_t>(seed()) << 32) | seed();
    }()};
    return generator;
}

}  // namespace

std::string NewTemporaryOutputName() {
    std::mt19937_64& generator = NameGenerator();
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    std::string name(kPrefix);
    for (std::size_t i = 0; i < kRandomLetters; ++i) {
        name += kLetters[pick(generator)];
    }
    return name += kSuffix;
}

std::string MakeUnderNewTemporaryName(const std::function<int(const char* name)>& make, int& error) {
    error = EEXIST;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && error == EEXIST; ++attempt) {
        std::string name = NewTemporaryOutputName();
        if (make(name.c_str()) == 0) {
            return name;
        }
        error = errno;
    }
    return {};
}

TemporaryOutputFile::TemporaryOutputFile(const std::filesystem::path& folder) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        path_ = folder / NewTemporaryOutputName();
        // Made and registered before an abrupt end removes what is registered, or not at all.
        const GuardedCreation guard;
        RequireCreationAllowed(guard, FileOperation::CreateTemporaryFileIn, folder);
        bool created = false;
        try {
            created = FileHandle::CreateNew(path_, file_);
        } catch (const FileError& error) {
            // The folder is what the user can do something about, not a name made up here.
            throw FileError(FileOperation::CreateTemporaryFileIn, folder, error.ErrorNumber());
        }
        if (created) {
            registration_ = RegisterTemporaryPath(path_.c_str());
            struct stat status {};
            if (::fstat(file_.Descriptor(), &status) == 0) {
                mark_.emplace(status);
            }
            return;
        }
    }
    throw FileError(FileOperation::CreateTemporaryFileIn, folder, EEXIST);
}

TemporaryOutputFile::~TemporaryOutputFile() {
    if (!committed_) {
        file_ = FileHandle();
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    UnregisterTemporaryPath(registration_);
}

namespace {

// Gives `from` the name `to` only when nothing stands there: in one step where
// the file system can, otherwise as a second name that `from` then gives up.
void RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        ThrowLastError(FileOperation::Replace, to);
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        ThrowLastError(FileOperation::Replace, to);
    }
    ::unlink(from.c_str());
}

}  // namespace

void TemporaryOutputFile::CommitAs(const std::filesystem::path& finalPath, CommitOptions options) {
    if (options.durable && ::fsync(file_.Descriptor()) != 0) {
        ThrowLastError(FileOperation::Write, path_);
    }
    file_.Close();
    if (!options.replaceExisting) {
        RenameWithoutReplacing(path_, finalPath);
    } else if (std::rename(path_.c_str(), finalPath.c_str()) != 0) {
        ThrowLastError(FileOperation::Replace, finalPath);
    }
    committed_ = true;
    mark_.reset();
    UnregisterTemporaryPath(registration_);
    registration_ = -1;
    if (options.durable) {
        // The rename itself is on the disk once the folder is. The file is in
        // place by now, so a folder that cannot be flushed is no failure.
        const std::filesystem::path folderPath = path_.has_parent_path() ? path_.parent_path() : ".";
        const int folder = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }
}

}  // namespace vaultpack
