#include "files/TemporaryOutputFile.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>

#include "files/TemporaryFileRegistry.h"

namespace vaultpack {

TemporaryOutputFile::TemporaryOutputFile(const std::filesystem::path& folder) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 generator(seed());
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".vaultpack-";
        for (int i = 0; i < 10; ++i) {
            name += kLetters[pick(generator)];
        }
        path_ = folder / (name + ".part");
        if (FileHandle::CreateNew(path_, file_)) {
            registration_ = RegisterTemporaryPath(path_.c_str());
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

void TemporaryOutputFile::CommitAs(const std::filesystem::path& finalPath) {
    file_.Close();
    if (std::rename(path_.c_str(), finalPath.c_str()) != 0) {
        throw FileError(FileOperation::Replace, finalPath, errno);
    }
    committed_ = true;
    UnregisterTemporaryPath(registration_);
    registration_ = -1;
}

}  // namespace vaultpack
