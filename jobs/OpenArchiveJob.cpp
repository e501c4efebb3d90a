// The archive window's opening job: reads a ZIP archive's central directory
// into ArchiveContents, or restores a container into a private folder first.

#include <algorithm>
#include <climits>
#include <string>
#include <system_error>

#include <sys/stat.h>

#include "files/AsciiCase.h"
#include "files/FileName.h"
#include "jobs/ArchiveContents.h"
#include "jobs/JobMessages.h"
#include "jobs/Jobs.h"
#include "zip/EntryDecision.h"
#include "zip/EntryPath.h"
#include "zip/ZipReader.h"

namespace vaultpack {

namespace {

// Archives with fewer entries open without a progress window, which would
// only flash.
constexpr std::int64_t kEntriesWithProgress = 20000;
// Entries read between two looks at the cancel flag and the bar.
constexpr std::int64_t kEntriesPerStep = 4096;

bool AnyComponentLongerThan(std::string_view name, std::size_t longest) {
    while (!name.empty()) {
        const std::size_t slash = name.find('/');
        if (name.substr(0, slash).size() > longest) {
            return true;
        }
        name.remove_prefix(slash == std::string_view::npos ? name.size() : slash + 1);
    }
    return false;
}

// Passes every call on to the host it wraps and keeps the password last
// given, which the window needs to restore a plain file again elsewhere.
class PasswordKeepingHost final : public JobHost {
public:
    explicit PasswordKeepingHost(JobHost& wrapped) : JobHost(&wrapped), wrapped_(wrapped) {}

    Answer Ask(const Question& question) override {
        Answer answer = wrapped_.Ask(question);
        if (const auto* password = std::get_if<PasswordAnswer>(&answer); password != nullptr && *password) {
            password_ = **password;
        }
        return answer;
    }
    void Report(const Progress& progress) override { wrapped_.Report(progress); }
    void Complete(const JobCompletion& completion) override { wrapped_.Complete(completion); }

    const std::string& Password() const { return password_; }

private:
    JobHost& wrapped_;
    std::string password_;
};

JobOutcome ListArchive(const std::filesystem::path& archive, ArchiveContents& contents, JobHost& host) {
    ZipResult openFailure = ZipResult::Success;
    const std::unique_ptr<ZipReader> reader = ZipReader::Open(archive, &openFailure);
    if (!reader) {
        ShowOpenZipFailure(host, archive, openFailure);
        return JobOutcome::Failed;
    }
    ZipEntryInfo info;
    if (const ZipResult result = reader->GetEntry(-1, info); result != ZipResult::Success) {
        ShowError(host, MessageOwner::None, {ZipResultLine(result)});
        return JobOutcome::Failed;
    }
    const std::int64_t count = info.entryCount;
    if (count >= kEntriesWithProgress) {
        host.ShowProgress();
        host.SetProgressTitle(MessageId::OpeningArchiveTitle);
        host.SetStatus(MessageLine::Text(MessageId::ReadingArchive, {archive.filename().string()}));
        host.SetRange(static_cast<std::uint32_t>(std::min<std::int64_t>(count, UINT32_MAX)));
    }
    contents.archive = archive;
    // Reserved once: grown by doubling, the copies would hold twice as much for a moment.
    contents.entries.reserve(static_cast<std::size_t>(count));
    contents.names.reserve(static_cast<std::size_t>(reader->NameBytesAtMost()));
    for (std::int64_t index = 0; index < count; ++index) {
        if (index % kEntriesPerStep == 0 && index > 0) {
            if (host.CancelRequested()) {
                return JobOutcome::Cancelled;
            }
            if (count >= kEntriesWithProgress) {
                host.SetPosition(static_cast<std::uint32_t>(std::min<std::int64_t>(index, UINT32_MAX)));
            }
        }
        if (const ZipResult result = reader->GetEntry(index, info); result != ZipResult::Success) {
            ShowError(host, MessageOwner::None,
                      {ZipResultLine(result),
                       MessageLine::Text(MessageId::EntryNumberInArchive, {archive.string(), std::to_string(index + 1)})});
            return JobOutcome::Failed;
        }
        ListedEntry entry;
        entry.size = info.uncompressedSize;
        entry.packed = info.compressedSize;
        entry.modified = info.lastWriteTime;
        entry.nameStart = contents.names.size();
        entry.nameLength = static_cast<std::uint32_t>(info.name.size());
        entry.aesKeyBits = static_cast<std::uint16_t>(info.aesKeyBits);
        entry.isFolder = info.isFolder;
        entry.encryption = info.encryption;
        entry.flag = FlagOf(info.name, info.isFolder);
        contents.names += info.name;
        contents.entries.push_back(entry);
    }
    return JobOutcome::Succeeded;
}

// The container's file is listed as the one entry it holds.
void ListPlainFile(const std::filesystem::path& file, ArchiveContents& contents) {
    struct stat status {};
    ListedEntry entry;
    if (::stat(file.c_str(), &status) == 0) {
        entry.size = entry.packed = static_cast<std::uint64_t>(status.st_size);
        entry.modified = status.st_mtime;
    }
    const std::string name = file.filename().string();
    entry.nameLength = static_cast<std::uint32_t>(name.size());
    contents.names = name;
    contents.entries = {entry};
    contents.plainFile = file;
}

JobOutcome Open(const OpenArchiveParams& params, JobHost& host) {
    ArchiveContents& contents = *params.contents;
    contents.opened = params.file;
    if (!EqualIgnoringAsciiCase(params.file.extension().string(), ".ezc")) {
        return ListArchive(params.file, contents, host);
    }
    PasswordKeepingHost keeping(host);
    FileJobParams decrypt;
    decrypt.sourceFiles = {params.file};
    decrypt.destinationFolders = {params.privateFolder};
    decrypt.announce = false;
    const JobCompletion restored = RunDecryptJob(decrypt, keeping);
    if (restored.outcome != JobOutcome::Succeeded) {
        return restored.outcome;
    }
    contents.password = keeping.Password();
    if (restored.decryptedArchive.empty()) {
        ListPlainFile(restored.decryptedFile, contents);
        return JobOutcome::Succeeded;
    }
    return ListArchive(restored.decryptedArchive, contents, keeping);
}

}  // namespace

NameFlag FlagOf(std::string_view storedName, bool isFolder) {
    switch (CheckStoredName(storedName)) {
        case StoredNameProblem::None: break;
        case StoredNameProblem::Absolute:
        case StoredNameProblem::DriveLetter: return NameFlag::Absolute;
        case StoredNameProblem::ParentFolder: return NameFlag::ParentFolder;
        case StoredNameProblem::Empty:
        case StoredNameProblem::NulByte:
        case StoredNameProblem::Backslash: return NameFlag::Unusable;
    }
    if (!isFolder && !IsUsableFileName(LastComponent(storedName))) {
        return NameFlag::Unusable;
    }
    // Judged on the path extraction makes of it, without "." and empty components.
    const std::optional<std::string> target = SafeTargetString({}, storedName);
    if (target && (target->size() >= PATH_MAX || AnyComponentLongerThan(*target, NAME_MAX))) {
        return NameFlag::TooLong;
    }
    return NameFlag::None;
}

JobCompletion RunOpenArchiveJob(const OpenArchiveParams& params, JobHost& host) {
    JobCompletion completion;
    completion.kind = JobKind::OpenArchive;
    completion.outcome = Open(params, host);
    return completion;
}

}  // namespace vaultpack
