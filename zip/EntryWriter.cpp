#include "zip/EntryWriter.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/PendingFile.h"
#include "files/TemporaryName.h"
#include "zip/EntryPath.h"

namespace vaultpack {

namespace {

using Reason = FailureReason;

// Gives the file the entry's permission bits (unless it was created with
// them) and times. Failures (a file system without Unix modes, say) do not
// make the content wrong, so they are not reported.
void ApplyAttributes(int fd, const ZipEntryInfo& info, const EntryTimes& times, bool createdWithMode) {
    if (info.hasUnixMode) {
        if (!createdWithMode) {
            ::fchmod(fd, info.mode & 0777);
        }
    } else if ((info.externalAttributes & kDosReadOnly) != 0) {
        struct stat status {};
        if (::fstat(fd, &status) == 0) {
            ::fchmod(fd, status.st_mode & 0555);
        }
    }
    const timespec fileTimes[2] = {{times.access.seconds, times.access.nanoseconds},
                                   {times.modification.seconds, times.modification.nanoseconds}};
    ::futimens(fd, fileTimes);
}

// Why the folder `name` in `parent` could not be opened as a folder.
EntryOutcome FolderRefusal(int parent, const std::string& name, std::string shown, int error) {
    struct stat status {};
    if ((error == ELOOP || error == ENOTDIR) && ::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        return EntryOutcome::Failed(ZipResult::CannotOpenFile,
                                    S_ISLNK(status.st_mode) ? Reason::FolderIsLink : Reason::NotAFolder,
                                    std::move(shown));
    }
    return EntryOutcome::Failed(ZipResult::CannotOpenFile, Failure::OfFile(FileOperation::CreateFolder, std::move(shown), error));
}

// Opens the folder `name` in `parent`, making it first when nothing stands
// there; `made` says whether it did.
EntryOutcome OpenOrMakeFolder(int parent, const std::string& name, const std::string& shown, FileHandle& folder,
                              bool& made) {
    made = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            folder = FileHandle::OpenFolderIn(parent, name.c_str(), shown);
            return EntryOutcome::Done();
        } catch (const FileError& error) {
            if (error.ErrorNumber() != ENOENT || attempt > 0) {
                return FolderRefusal(parent, name, shown, error.ErrorNumber());
            }
        }
        const GuardedCreation guard;
        if (!guard.allowed()) {
            return EntryOutcome::Failed(ZipResult::CannotOpenFile, Failure::OfFile(FileOperation::CreateFolder, shown, ECANCELED));
        }
        made = ::mkdirat(parent, name.c_str(), 0777) == 0;
        if (const int error = errno; !made && error != EEXIST) {
            return EntryOutcome::Failed(ZipResult::CannotOpenFile, Failure::OfFile(FileOperation::CreateFolder, shown, error));
        }
    }
    return EntryOutcome::Failed(ZipResult::CannotOpenFile, Failure::OfFile(FileOperation::CreateFolder, shown, ENOENT));
}

EntryOutcome CannotCreate(const std::string& path, int error) {
    return EntryOutcome::Failed(ZipResult::CannotOpenFile, Failure::OfFile(FileOperation::Create, path, error));
}

// A failure to put a file in place, by the step that failed: a write or a
// close as a write of the entry's file, the temporary file's folder as it is,
// anything else as making the file.
EntryOutcome FileFailure(const FileError& error, const std::string& path) {
    switch (error.Operation()) {
        case FileOperation::Write:
        case FileOperation::Close:
            return EntryOutcome::Failed(ZipResult::WriteFailed,
                                        Failure::OfFile(FileOperation::Write, path, error.ErrorNumber()));
        case FileOperation::CreateTemporaryFileIn: return EntryOutcome::Failed(ZipResult::CannotOpenFile, error.Get());
        default: return CannotCreate(path, error.ErrorNumber());
    }
}

// A target too long to use, cut to what a message can show.
EntryOutcome TooLong(const std::string& path) {
    constexpr std::size_t kShownLength = 200;
    return EntryOutcome::Failed(ZipResult::CannotOpenFile, Reason::PathTooLong,
                                path.size() <= kShownLength ? path : path.substr(0, kShownLength) + "...",
                                ENAMETOOLONG);
}

EntryOutcome Appeared(const std::string& path) {
    return EntryOutcome::Failed(ZipResult::CannotOpenFile, Reason::Appeared, path, EEXIST);
}

}  // namespace

EntryWriter::EntryWriter(std::filesystem::path destination, ProtectedFiles protectedFiles)
    : destination_(destination.empty() ? "." : std::move(destination)),
      protected_(protectedFiles),
      umask_(CurrentUmask()),
      openFoldersKept_(static_cast<std::size_t>(std::clamp<std::uint64_t>(DescriptorLimit() / 32, 1, kOpenFolders))) {}

std::string EntryWriter::Shown(std::string_view relative) const {
    std::string shown = destination_.native();
    if (!relative.empty()) {
        if (shown.back() != '/') {
            shown += '/';
        }
        shown += relative;
    }
    return shown;
}

EntryOutcome EntryWriter::OpenDestination() {
    const std::string shown = destination_.native();
    std::error_code error;
    {
        const GuardedCreation guard;
        if (!guard.allowed()) {
            return EntryOutcome::Failed(ZipResult::CannotOpenFile, Reason::DestinationUnusable, shown, ECANCELED);
        }
        std::filesystem::create_directories(destination_, error);
    }
    try {
        destinationFolder_ = std::make_shared<const FileHandle>(FileHandle::OpenFolder(destination_));
        return EntryOutcome::Done();
    } catch (const FileError& failure) {
        return EntryOutcome::Failed(ZipResult::CannotOpenFile, Reason::DestinationUnusable, shown,
                                    error ? error.value() : failure.ErrorNumber());
    }
}

std::string_view EntryWriter::FolderToOpen(std::string_view relativeTarget, bool isFolder) {
    return isFolder ? relativeTarget : FolderOfTarget(relativeTarget);
}

EntryOutcome EntryWriter::Locate(std::string_view relativeTarget, bool isFolder, Place& place) const {
    place.path = Shown(relativeTarget);
    if (place.path.size() >= PATH_MAX) {
        EntryOutcome outcome = TooLong(place.path);
        place.path = outcome.failure.path;
        return outcome;
    }
    const std::string_view folder = FolderToOpen(relativeTarget, isFolder);
    place.name = isFolder ? std::string() : std::string(relativeTarget.substr(folder.empty() ? 0 : folder.size() + 1));
    return place.name.size() > NAME_MAX ? TooLong(place.path) : EntryOutcome::Done();
}

EntryOutcome EntryWriter::OpenFolder(std::string_view relativeFolder, Place& place,
                                     std::vector<MadeFolder>* madeFolders) {
    if (!destinationFolder_) {
        if (EntryOutcome outcome = OpenDestination(); !outcome.Succeeded()) {
            return outcome;
        }
    }
    return OpenFolders(relativeFolder, place.folder, madeFolders);
}

EntryOutcome EntryWriter::Prepare(std::string_view relativeTarget, bool isFolder, Place& place,
                                  std::vector<MadeFolder>* madeFolders) {
    EntryOutcome outcome = Locate(relativeTarget, isFolder, place);
    return outcome.Succeeded() ? OpenFolder(FolderToOpen(relativeTarget, isFolder), place, madeFolders) : outcome;
}

EntryOutcome EntryWriter::OpenFolders(std::string_view relativeFolder, std::shared_ptr<const FileHandle>& folder,
                                      std::vector<MadeFolder>* madeFolders) {
    const std::string key(relativeFolder);
    if (const auto open = openFolders_.find(key); open != openFolders_.end()) {
        folder = open->second;
        return EntryOutcome::Done();
    }
    EntryOutcome outcome = WalkDown(key, folder, madeFolders);
    if (outcome.failure.systemError == EMFILE && !openFolders_.empty()) {
        // The folders kept open take descriptors the walk needs: let them go.
        openFolders_.clear();
        openedInOrder_.clear();
        outcome = WalkDown(key, folder, madeFolders);
    }
    if (!outcome.Succeeded()) {
        return outcome;
    }
    if (openFolders_.size() >= openFoldersKept_) {
        openFolders_.erase(openedInOrder_.front());
        openedInOrder_.pop_front();
    }
    openFolders_.emplace(key, folder);
    openedInOrder_.push_back(key);
    return outcome;
}

EntryOutcome EntryWriter::WalkDown(const std::string& key, std::shared_ptr<const FileHandle>& folder,
                                   std::vector<MadeFolder>* madeFolders) const {
    // Down from the destination, or from the folder above when it is open
    // (the entries of a tree mostly come folder by folder), one level at a
    // time, each level opened in the one above it; only the current level
    // stays open.
    std::shared_ptr<const FileHandle> current = destinationFolder_;
    std::size_t start = 0;
    if (const std::string_view above = FolderOfTarget(key); !above.empty()) {
        if (const auto open = openFolders_.find(std::string(above)); open != openFolders_.end()) {
            current = open->second;
            start = above.size() + 1;
        }
    }
    while (start < key.size()) {
        const std::size_t end = std::min(key.find('/', start), key.size());
        const std::string name = key.substr(start, end - start);
        if (name.size() > NAME_MAX) {
            return TooLong(Shown(key.substr(0, end)));
        }
        FileHandle next;
        bool made = false;
        if (EntryOutcome outcome =
                OpenOrMakeFolder(current->Descriptor(), name, Shown(key.substr(0, end)), next, made);
            !outcome.Succeeded()) {
            return outcome;
        }
        auto opened = std::make_shared<const FileHandle>(std::move(next));
        if (made && madeFolders != nullptr) {
            madeFolders->push_back({current, name, key.substr(0, end), FileIdentity::Of(opened->Status())});
        }
        current = std::move(opened);
        start = end + 1;
    }
    folder = std::move(current);
    return EntryOutcome::Done();
}

std::shared_ptr<const FileHandle> EntryWriter::ReadyFolder(const std::string& relativeFolder) const {
    const auto open = openFolders_.find(relativeFolder);
    return open == openFolders_.end() ? nullptr : open->second;
}

EntryOutcome EntryWriter::Examine(const Place& place, Occupant& occupant) const {
    occupant = Occupant::Nothing;
    struct stat status {};
    if (::fstatat(place.folder->Descriptor(), place.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        return error == ENOENT ? EntryOutcome::Done()
                               : CannotCreate(place.path, error);
    }
    // A link is replaced, never followed; but one to a folder, a FIFO or a
    // device, or to a protected file, is refused as that file would be.
    if (S_ISLNK(status.st_mode)) {
        struct stat linked {};
        if (::fstatat(place.folder->Descriptor(), place.name.c_str(), &linked, 0) == 0) {
            status = linked;
        }
    }
    const FileIdentity identity = FileIdentity::Of(status);
    if (identity == protected_.archive) {
        return EntryOutcome::Failed(ZipResult::CannotOpenFile, Reason::IsTheArchive, place.path);
    }
    if (identity == protected_.container) {
        return EntryOutcome::Failed(ZipResult::CannotOpenFile, Reason::IsTheContainer, place.path);
    }
    if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
        return EntryOutcome::Failed(ZipResult::CannotOpenFile, Reason::NotARegularFile, place.path);
    }
    occupant = Occupant::File;
    return EntryOutcome::Done();
}

EntryOutcome EntryWriter::WriteFile(const Place& place, const ZipEntryInfo& info, const EntryTimes& times,
                                    const Filler& fill, bool replace, MadeFile* keep, int* registration) const {
    // When the umask keeps all of the entry's permission bits, the file is
    // made with them, which saves setting them afterwards.
    const mode_t permissions = info.mode & 0777;
    const bool createdWithMode = info.hasUnixMode && umask_ && (permissions & *umask_) == 0;
    try {
        PendingFile file(place.folder->Descriptor(), std::string(FolderOfTarget(place.path)),
                         createdWithMode ? permissions : 0666);
        if (const ZipResult result = fill(file.File()); result != ZipResult::Success) {
            const Reason reason = result == ZipResult::WriteFailed         ? Reason::None
                                  : result == ZipResult::PartiallyUnzipped ? Reason::Cancelled
                                                                           : Reason::ArchiveData;
            return EntryOutcome::Failed(result, reason, place.path);
        }
        ApplyAttributes(file.File().Descriptor(), info, times, createdWithMode);
        return file.Publish(place.name, place.path, replace, keep, registration) ? EntryOutcome::Done()
                                                                                 : Appeared(place.path);
    } catch (const FileError& error) {
        return FileFailure(error, place.path);
    }
}

EntryOutcome EntryWriter::WriteLink(const Place& place, const std::string& linkTarget, bool replace) const {
    const int folder = place.folder->Descriptor();
    const GuardedCreation guard;
    if (!guard.allowed()) {
        return CannotCreate(place.path, ECANCELED);
    }
    if (!replace) {
        if (::symlinkat(linkTarget.c_str(), folder, place.name.c_str()) == 0) {
            return EntryOutcome::Done();
        }
        const int error = errno;
        return error == EEXIST ? Appeared(place.path)
                               : CannotCreate(place.path, error);
    }
    // A link is made whole in one call; under a temporary name first, which
    // then replaces the target in one step.
    int error = 0;
    const std::string temporary = MakeUnderNewTemporaryName(
        [&](const char* candidate) { return ::symlinkat(linkTarget.c_str(), folder, candidate); }, error);
    if (temporary.empty()) {
        return CannotCreate(place.path, error);
    }
    if (::renameat(folder, temporary.c_str(), folder, place.name.c_str()) != 0) {
        error = errno;
        ::unlinkat(folder, temporary.c_str(), 0);
        return CannotCreate(place.path, error);
    }
    return EntryOutcome::Done();
}

}  // namespace vaultpack
