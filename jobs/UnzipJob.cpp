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

#include "files/FileIdentity.h"
#include "files/FileName.h"
#include "jobs/FailureReasons.h"
#include "jobs/JobMessages.h"
#include "jobs/JobPaths.h"
#include "jobs/Jobs.h"
#include "jobs/OverwriteQuestion.h"
#include "jobs/StatusText.h"
#include "zip/EntryExtraction.h"
#include "zip/EntryPath.h"
#include "zip/EntryWriter.h"
#include "zip/ParallelExtractor.h"
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

std::uint32_t ProgressValue(std::int64_t value) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::uint32_t>::max()));
}

// The failed-entry text: the reason, then what failed in parentheses.
std::vector<MessageLine> FailureLines(MessageLine reason, const std::string& what) {
    return {std::move(reason), MessageLine::Literal("(" + what + ")")};
}

// Extracts entry `index`, or takes `createdAhead`, the file a worker made
// for it; on failure fills `failure` with what to tell the user.
EntryStep PutEntry(ZipReader& reader, std::int64_t index, bool createdAhead, const std::filesystem::path& archive,
                   EntryWriter& writer, ParallelExtractor& ahead, JobHost& host, OverwriteQuestion& overwrite,
                   std::vector<MessageLine>& failure) {
    ZipEntryInfo entry;
    if (const ZipResult result = reader.GetEntry(index, entry); result != ZipResult::Success) {
        // No name to show: the archive and the entry's number stand in for it.
        failure = {ZipResultLine(result),
                   MessageLine::Text(MessageId::EntryNumberInArchive, {archive.string(), std::to_string(index + 1)})};
        return EntryStep::Failed;
    }
    host.SetPosition(ProgressValue(index));
    host.SetAmounts({static_cast<std::uint64_t>(index), static_cast<std::uint64_t>(entry.entryCount), 0});
    host.SetCancelCaption(MessageId::Cancel);
    host.SetStatus(UnzippingStatus(entry.name));

    const std::optional<std::string> target = SafeTargetString({}, entry.name);
    if (!target || (!entry.isFolder && !IsUsableFileName(LastComponent(entry.name)))) {
        failure = FailureLines(ReasonLine(CheckStoredName(entry.name)), entry.name);
        return EntryStep::Failed;
    }
    EntryWriter::Place place;
    EntryOutcome outcome = ahead.Prepare(*target, entry.isFolder, place);
    if (createdAhead && host.CancelRequested()) {
        return EntryStep::Cancel;  // a cancel at its turn cuts the entry short
    }
    if (outcome.Succeeded() && !entry.isFolder && !createdAhead) {
        // Only a file the user agreed to replace is replaced; one that
        // appears while the entry is written is kept.
        EntryWriter::Occupant occupant = EntryWriter::Occupant::Nothing;
        outcome = writer.Examine(place, occupant);
        if (outcome.Succeeded() && occupant == EntryWriter::Occupant::File) {
            const MessageAnswer answer = overwrite.Ask(host, place.path);
            if (answer == MessageAnswer::Cancel) {
                return EntryStep::Cancel;
            }
            if (answer != MessageAnswer::Yes) {
                return EntryStep::Skipped;
            }
        }
        if (outcome.Succeeded()) {
            outcome = ExtractEntryAt(reader, entry, writer, place, occupant == EntryWriter::Occupant::File,
                                     [&host] { return host.CancelRequested(); });
        }
        if (host.CancelRequested()) {
            return EntryStep::Cancel;  // an entry cut short left nothing behind
        }
    }
    if (!outcome.Succeeded()) {
        failure = FailureLines(ReasonLine(outcome, entry.name), place.path);
        return EntryStep::Failed;
    }
    return EntryStep::Extracted;
}

// PutEntry for entry `index`. A file made ahead for an entry that does not
// end extracted (refused, failed, cancelled at its turn) goes again, so that
// what stays is what extracting in order leaves.
EntryStep UnzipEntry(ZipReader& reader, std::int64_t index, const std::filesystem::path& archive,
                     EntryWriter& writer, ParallelExtractor& ahead, JobHost& host, OverwriteQuestion& overwrite,
                     std::vector<MessageLine>& failure) {
    const bool createdAhead = ahead.TakeCreated(index);
    EntryStep step = EntryStep::Failed;
    try {
        step = PutEntry(reader, index, createdAhead, archive, writer, ahead, host, overwrite, failure);
    } catch (...) {
        if (createdAhead) {
            ahead.DiscardTaken();
        }
        throw;
    }
    if (createdAhead && step != EntryStep::Extracted) {
        ahead.DiscardTaken();
    }
    return step;
}

// Runs the entry loop; returns the index it stopped at (entryCount when it ran through).
std::int64_t UnzipEntries(ZipReader& reader, std::int64_t entryCount, const FileJobParams& params,
                          const std::filesystem::path& archive, EntryWriter& writer, JobHost& host,
                          EntryTally& tally) {
    ParallelExtractor ahead(reader, entryCount, writer);
    OverwriteQuestion overwrite(OverwriteKind::UnzippedEntry, params.replaceAll);
    for (std::int64_t index = 0; index < entryCount; ++index) {
        if (host.CancelRequested()) {
            tally.cancelled = true;
            return index;
        }
        std::vector<MessageLine> failure;
        switch (UnzipEntry(reader, index, archive, writer, ahead, host, overwrite, failure)) {
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
                if (!host.AskContinueAfterFailure(std::move(failure))) {
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
    EntryWriter writer(destination, {archiveIdentity, params.container.empty()
                                                          ? std::nullopt
                                                          : IdentityOf(params.container)});
    const std::int64_t stoppedAt = UnzipEntries(*reader, entryCount, params, archive, writer, host, tally);
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
