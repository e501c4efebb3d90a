#include "files/OutputFile.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace vaultpack {

namespace {

std::filesystem::path FolderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace

OutputFile::OutputFile(std::filesystem::path finalPath) : finalPath_(std::move(finalPath)) {
    const std::filesystem::path folder = FolderOf(finalPath_);
    try {
        folder_ = FileHandle::OpenFolder(folder);
    } catch (const FileError& error) {
        // Where the file goes is what the user can do something about.
        throw FileError(FileOperation::CreateTemporaryFileIn, folder, error.ErrorNumber());
    }
    pending_.emplace(folder_.Descriptor(), folder.native(), 0666);
    pending_->File().ShowAs(finalPath_.native());
    mark_.emplace(pending_->File().Status());
}

void OutputFile::Commit(CommitOptions options) {
    if (options.durable && ::fsync(File().Descriptor()) != 0) {
        ThrowLastError(FileOperation::Write, finalPath_);
    }
    if (!pending_->Publish(finalPath_.filename().native(), finalPath_.native(), options.replaceExisting)) {
        throw FileError(FileOperation::Replace, finalPath_, EEXIST);
    }
    mark_.reset();
    if (options.durable) {
        // The name itself is on the disk once the folder is. The file is in
        // place by now, so a folder that cannot be flushed is no failure.
        const int folder = ::openat(folder_.Descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }
}

}  // namespace vaultpack
