// The unzip job: picks an archive and a destination folder, extracts every
// entry below that folder, asking before it replaces a file and after every
// failed entry, and reports how many entries it extracted.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

#include "files/FileIdentity.h"
#include "jobs/FailureReasons.h"
#include "jobs/JobMessages.h"
#include "jobs/JobPaths.h"
#include "jobs/Jobs.h"
#include "jobs/OverwriteQuestion.h"
#include "jobs/StatusText.h"
#include "zip/Extraction.h"
#include "zip/ZipReader.h"

namespace vaultpack {

namespace {

struct EntryTally {
    std::int64_t extracted = 0;
    bool anyFailed = false;
    bool anySkipped = false;
    std::int64_t locked = 0;  // encrypted entries left out: no password was given
    std::int64_t weak = 0;    // extracted entries under the traditional encryption
    bool cancelled = false;  // the cancel flag, or Cancel in an overwrite question
};

std::uint32_t ProgressValue(std::int64_t value) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::uint32_t>::max()));
}

// The failed-entry text: the reason, then what failed in parentheses; the
// archive and the entry's number stand in for a name that cannot be read.
std::vector<MessageLine> FailureLines(const Landing& landing, const std::filesystem::path& archive,
                                      std::int64_t index) {
    const EntryOutcome& outcome = landing.outcome;
    if (outcome.failure.reason == FailureReason::EntryUnreadable) {
        return {ZipResultLine(outcome.result),
                MessageLine::Text(MessageId::EntryNumberInArchive, {archive.string(), std::to_string(index + 1)})};
    }
    return {ReasonLine(outcome.failure).value_or(ZipResultLine(outcome.result)),
            MessageLine::Literal("(" + landing.path + ")")};
}

// Lands every entry in order: report, land, tally. Returns the index it
// stopped at (entryCount when it ran through).
std::int64_t UnzipEntries(Extraction& extraction, std::int64_t entryCount, const FileJobParams& params,
                          const std::filesystem::path& archive, JobHost& host, EntryTally& tally) {
    OverwriteQuestion overwrite(OverwriteKind::UnzippedEntry, params.replaceAll);
    std::int64_t index = 0;
    bool weak = false;  // the entry being landed is under the traditional encryption
    const LandingCalls calls{
        [&](const ZipEntryInfo& entry) {
            weak = entry.encryption == EntryEncryption::Traditional;
            host.SetPosition(ProgressValue(index));
            host.SetAmounts({static_cast<std::uint64_t>(index), static_cast<std::uint64_t>(entryCount), 0});
            host.SetCancelCaption(MessageId::Cancel);
            host.SetStatus(UnzippingStatus(entry.name));
        },
        [&](const std::string& path) {
            const MessageAnswer answer = overwrite.Ask(host, path);  // Yes, No or Cancel
            return answer == MessageAnswer::Yes      ? Replace::Yes
                   : answer == MessageAnswer::Cancel ? Replace::Cancel
                                                     : Replace::No;
        },
        [&] { return host.CancelRequested(); },
        [&](bool wrongBefore) {
            if (wrongBefore) {
                ShowError(host, MessageOwner::Progress, {MessageLine::Text(MessageId::WrongPassword)});
            }
            return host.AskArchivePassword();
        }};
    for (; index < entryCount; ++index) {
        if (host.CancelRequested()) {
            tally.cancelled = true;
            return index;
        }
        const Landing landing = extraction.Land(index, calls);
        switch (landing.step) {
            case Landing::Step::Extracted:
                ++tally.extracted;
                tally.weak += weak ? 1 : 0;
                break;
            case Landing::Step::Skipped:
                tally.anySkipped = true;
                break;
            case Landing::Step::Locked:
                ++tally.locked;
                break;
            case Landing::Step::Cancelled:
                tally.cancelled = true;
                return index;
            case Landing::Step::Failed:
                tally.anyFailed = true;
                if (!host.AskContinueAfterFailure(FailureLines(
                        landing, archive, params.entries.empty() ? index : params.entries[static_cast<std::size_t>(index)]))) {
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
    if (tally.locked > 0) {
        return JobOutcome::ItemsLeftOut;
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
        ShowOpenZipFailure(host, archive, openFailure);
        return JobOutcome::Failed;
    }
    const std::optional<FileIdentity> archiveIdentity = IdentityOf(archive);
    ZipEntryInfo archiveInfo;
    if (const ZipResult result = reader->GetEntry(-1, archiveInfo); result != ZipResult::Success) {
        ShowError(host, MessageOwner::Progress, {ZipResultLine(result)});
        return JobOutcome::Failed;
    }
    // A selection lands its entries in the archive's order; the run counts them alone.
    const std::int64_t entryCount =
        params.entries.empty() ? archiveInfo.entryCount : static_cast<std::int64_t>(params.entries.size());

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
    std::int64_t stoppedAt = 0;
    {
        Extraction extraction(*reader, entryCount, destination,
                              {archiveIdentity, params.container.empty() ? std::nullopt : IdentityOf(params.container)},
                              params.entries);
        stoppedAt = UnzipEntries(extraction, entryCount, params, archive, host, tally);
    }
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
    if (!params.announce) {
        return OutcomeOf(tally);
    }
    std::vector<MessageLine> summary{
        MessageLine::Text(MessageId::UnzipSummary, {std::to_string(tally.extracted), std::to_string(entryCount)})};
    if (tally.weak > 0) {
        summary.push_back(MessageLine::Text(MessageId::WeakEntriesExtracted, {std::to_string(tally.weak)}));
    }
    if (tally.locked > 0) {
        summary.push_back(MessageLine::Text(MessageId::EncryptedEntriesLocked, {std::to_string(tally.locked)}));
    }
    ShowInformation(host, std::move(summary));
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
