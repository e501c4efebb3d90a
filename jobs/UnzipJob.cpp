// The unzip job: picks an archive and a destination folder, extracts every
// entry below that folder, asking before it replaces a file and after every
// failed entry, and reports how many entries it extracted.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

#include <sys/stat.h>

#include "files/FileName.h"
#include "files/TemporaryOutputFile.h"
#include "jobs/FailureReasons.h"
#include "jobs/JobMessages.h"
#include "jobs/JobPaths.h"
#include "jobs/Jobs.h"
#include "jobs/OverwriteQuestion.h"
#include "jobs/StatusText.h"
#include "zip/EntryPath.h"
#include "zip/ParallelExtractor.h"
#include "zip/UnzipTarget.h"
#include "zip/ZipFormat.h"
#include "zip/ZipReader.h"

namespace vaultpack {

namespace {

enum class EntryStep { Extracted, Skipped, Failed, Cancel };

struct EntryTally {
    std::int64_t extracted = 0;
    bool anyFailed = false;
    bool anySkipped = false;
    bool cancelled = false;  // the cancel flag, or Cancel in an overwrite question
};

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

std::uint32_t ProgressValue(std::int64_t value) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::uint32_t>::max()));
}

// The failed-entry text: the reason, then what failed in parentheses.
std::vector<MessageLine> FailureLines(MessageLine reason, const std::string& what) {
    return {std::move(reason), MessageLine::Literal("(" + what + ")")};
}

// Why an entry could not be extracted, in the most precise words at hand: the
// kind of entry that is not extracted, or why its folder takes no file.
MessageLine ExtractionFailureReason(ZipReader& reader, ZipResult result, const ZipEntryInfo& entry,
                                    const std::filesystem::path& target, bool targetExisted) {
    if (result == ZipResult::FaultyArguments) {
        if (entry.encrypted) {
            return MessageLine::Text(MessageId::ReasonEntryEncrypted, {entry.name});
        }
        if (entry.method != kMethodStored && entry.method != kMethodDeflated) {
            return MessageLine::Text(MessageId::ReasonEntryMethodUnsupported, {entry.name, std::to_string(entry.method)});
        }
        std::string linkTarget;
        if (S_ISLNK(entry.mode) && reader.ReadLinkTarget(entry.index, linkTarget) == ZipResult::Success &&
            !LinkTargetStaysBelow(entry.name, linkTarget)) {
            return MessageLine::Text(MessageId::ReasonLinkLeavesFolder, {entry.name, linkTarget});
        }
        if (S_ISLNK(entry.mode)) {
            return MessageLine::Text(MessageId::ReasonEntryIsLink, {entry.name});
        }
        if (!S_ISREG(entry.mode)) {
            return MessageLine::Text(MessageId::ReasonEntryIsSpecialFile, {entry.name});
        }
    }
    if (result == ZipResult::CannotOpenFile && !targetExisted && PathExists(target)) {
        return MessageLine::Text(MessageId::ReasonOutputAppeared, {target.string()});
    }
    if (result == ZipResult::CannotOpenFile) {
        // The facility does not say why; a file of our own in that folder does.
        try {
            TemporaryOutputFile probe(target.parent_path());
        } catch (const FileError& error) {
            return ReasonLine(error);
        }
    }
    return ZipResultLine(result);
}

// Why an entry must not be written at target even when the user would agree:
// it would replace the archive being read or the container it came from.
std::optional<MessageLine> ProtectedFileAt(const std::filesystem::path& target, const FileJobParams& params,
                                           const std::filesystem::path& archive) {
    if (IsSameFile(target, archive)) {
        return MessageLine::Text(MessageId::ReasonEntryIsTheArchive, {target.string()});
    }
    if (!params.container.empty() && IsSameFile(target, params.container)) {
        return MessageLine::Text(MessageId::ReasonEntryIsTheContainer, {target.string()});
    }
    return std::nullopt;
}

// Extracts entry `index`, or takes the file made for it ahead; on failure
// fills `failure` with what to tell the user.
EntryStep UnzipEntry(ZipReader& reader, std::int64_t index, const FileJobParams& params,
                     const std::filesystem::path& archive, const std::filesystem::path& destination,
                     ParallelExtractor& ahead, JobHost& host, OverwriteQuestion& overwrite,
                     std::vector<MessageLine>& failure) {
    const bool createdAhead = ahead.TakeCreated(index);
    ZipEntryInfo entry;
    ZipResult result = reader.GetEntry(index, entry);
    if (result != ZipResult::Success) {
        // No name to show: the archive and the entry's number stand in for it.
        failure = {ZipResultLine(result),
                   MessageLine::Text(MessageId::EntryNumberInArchive, {archive.string(), std::to_string(index + 1)})};
        return EntryStep::Failed;
    }
    host.SetPosition(ProgressValue(index));
    host.SetAmounts({static_cast<std::uint64_t>(index), static_cast<std::uint64_t>(entry.entryCount), 0});
    host.SetCancelCaption(MessageId::Cancel);
    host.SetStatus(UnzippingStatus(entry.name));

    const std::optional<std::filesystem::path> target = SafeTargetPath(destination, entry.name);
    if (!target || (!entry.isFolder && !IsUsableFileName(LastComponent(entry.name)))) {
        failure = FailureLines(ReasonLine(CheckStoredName(entry.name)), entry.name);
        return EntryStep::Failed;
    }
    if (const auto problem = ahead.PrepareFolder(entry.isFolder ? *target : target->parent_path())) {
        failure = FailureLines(ReasonLine(*problem), target->string());
        return EntryStep::Failed;
    }
    if (entry.isFolder) {
        return EntryStep::Extracted;
    }
    if (createdAhead) {
        // Made where nothing stood, as below; a cancel meanwhile cuts the entry short.
        if (host.CancelRequested()) {
            std::error_code ignored;
            std::filesystem::remove(*target, ignored);
            return EntryStep::Cancel;
        }
        return EntryStep::Extracted;
    }
    if (auto refusal = ProtectedFileAt(*target, params, archive)) {
        failure = FailureLines(std::move(*refusal), target->string());
        return EntryStep::Failed;
    }
    if (auto refusal = OutputRefusal(*target)) {
        failure = FailureLines(std::move(*refusal), target->string());
        return EntryStep::Failed;
    }
    // Only a file the user agreed to replace is replaced; one that appears
    // while the entry is written is kept.
    const bool targetExisted = PathExists(*target);
    if (targetExisted) {
        const MessageAnswer answer =
            overwrite.Ask(host, MessageLine::Text(MessageId::UnzipOverwriteQuestion, {target->string()}));
        if (answer == MessageAnswer::Cancel) {
            return EntryStep::Cancel;
        }
        if (answer != MessageAnswer::Yes) {
            return EntryStep::Skipped;
        }
    }
    // The reader puts the file in place only when it is complete, so a failed
    // entry leaves nothing to delete and an existing file as it was.
    result = reader.ExtractEntry(index, *target, [&host] { return host.CancelRequested(); }, targetExisted);
    if (host.CancelRequested()) {
        return EntryStep::Cancel;  // an entry cut short left nothing behind
    }
    if (result != ZipResult::Success) {
        failure =
            FailureLines(ExtractionFailureReason(reader, result, entry, *target, targetExisted), target->string());
        return EntryStep::Failed;
    }
    return EntryStep::Extracted;
}

// Runs the entry loop; returns the index it stopped at (entryCount when it ran through).
std::int64_t UnzipEntries(ZipReader& reader, std::int64_t entryCount, const FileJobParams& params,
                          const std::filesystem::path& archive, const std::filesystem::path& destination,
                          JobHost& host, EntryTally& tally) {
    ParallelExtractor ahead(reader, entryCount, destination);
    OverwriteQuestion overwrite(MessageButtons::YesNoAllCancel, params.replaceAll);
    for (std::int64_t index = 0; index < entryCount; ++index) {
        if (host.CancelRequested()) {
            tally.cancelled = true;
            return index;
        }
        std::vector<MessageLine> failure;
        switch (UnzipEntry(reader, index, params, archive, destination, ahead, host, overwrite, failure)) {
            case EntryStep::Extracted:
                ++tally.extracted;
                break;
            case EntryStep::Skipped:
                tally.anySkipped = true;
                break;
            case EntryStep::Cancel:
                tally.cancelled = true;
                return index;
            case EntryStep::Failed:
                tally.anyFailed = true;
                if (!AskToContinueAfterFailure(host, std::move(failure))) {
                    return index;
                }
                break;
        }
    }
    return entryCount;
}

// Removes the archive unless what stands at its path now is another file.
void DeleteArchive(const std::filesystem::path& archive, const std::optional<FileIdentity>& opened) {
    if (opened && IdentityOf(archive) == opened) {
        std::error_code ignored;
        std::filesystem::remove(archive, ignored);
    }
}

JobOutcome OutcomeOf(const EntryTally& tally) {
    if (tally.cancelled) {
        return JobOutcome::Cancelled;
    }
    if (tally.anyFailed) {
        return JobOutcome::Failed;
    }
    if (tally.extracted == 0 && tally.anySkipped) {
        return JobOutcome::NothingDone;
    }
    return JobOutcome::Succeeded;
}

JobOutcome Unzip(const FileJobParams& params, JobHost& host) {
    const std::optional<std::filesystem::path> chosenArchive =
        GivenOrAsked(params.sourceFiles, [&] { return host.ChooseFileToOpen(FileFilter::Zip); });
    if (!chosenArchive) {
        return JobOutcome::NothingDone;
    }
    const std::filesystem::path& archive = *chosenArchive;

    ZipResult openFailure = ZipResult::Success;
    const std::unique_ptr<ZipReader> reader = ZipReader::Open(archive, &openFailure);
    if (!reader) {
        std::vector<MessageLine> lines{MessageLine::Text(MessageId::OpenZipFailed)};
        if (openFailure == ZipResult::CorruptArchive) {
            lines.push_back(MessageLine::Text(MessageId::ReasonNotZipArchive, {archive.string()}));
        } else {
            lines.push_back(ZipResultLine(openFailure));
            lines.push_back(MessageLine::Literal(archive.string()));
        }
        ShowError(host, MessageOwner::None, std::move(lines));
        return JobOutcome::Failed;
    }
    const std::optional<FileIdentity> archiveIdentity = IdentityOf(archive);
    ZipEntryInfo archiveInfo;
    if (const ZipResult result = reader->GetEntry(-1, archiveInfo); result != ZipResult::Success) {
        ShowError(host, MessageOwner::Progress, {ZipResultLine(result)});
        return JobOutcome::Failed;
    }
    const std::int64_t entryCount = archiveInfo.entryCount;

    const std::optional<std::filesystem::path> chosenDestination =
        GivenOrAsked(params.destinationFolders, [&] { return host.ChooseFolder(MessageId::ChooseFolderToUnzip); });
    if (!chosenDestination) {
        return JobOutcome::NothingDone;
    }
    const std::filesystem::path destination = chosenDestination->empty() ? "." : *chosenDestination;

    host.ShowProgress();
    host.SetCancelCaption(MessageId::Cancel);
    host.SetRange(ProgressValue(entryCount));
    host.SetStatus(MessageLine::Text(MessageId::StartUnzipping));
    host.SetProgressTitle(MessageId::UnzippingProgressTitle);

    EntryTally tally;
    const std::int64_t stoppedAt = UnzipEntries(*reader, entryCount, params, archive, destination, host, tally);
    if (const ZipResult result = reader->Close(); result != ZipResult::Success) {
        ShowCloseZipFailure(host, result);
        return JobOutcome::Failed;
    }
    if (stoppedAt == entryCount) {
        host.SetPosition(ProgressValue(entryCount));
        host.SetAmounts({static_cast<std::uint64_t>(entryCount), static_cast<std::uint64_t>(entryCount), 0});
    }
    if (params.deleteSourceAfter) {
        DeleteArchive(archive, archiveIdentity);
    }
    ShowInformation(host, {MessageLine::Text(MessageId::UnzipSummary,
                                             {std::to_string(tally.extracted), std::to_string(entryCount)})});
    return OutcomeOf(tally);
}

}  // namespace

JobCompletion RunUnzipJob(const FileJobParams& params, JobHost& host) {
    JobCompletion completion;
    completion.kind = JobKind::Unzip;
    completion.outcome = Unzip(params, host);
    return completion;
}

}  // namespace vaultpack
