// The create-archive job: asks for the output file, then zips, encrypts or
// does both in the order the record selects, and reports the result.

#include <functional>
#include <optional>

#include "files/OutputFile.h"
#include "jobs/CreateArchivePlan.h"
#include "jobs/CreateArchiveSteps.h"
#include "jobs/FailureReasons.h"
#include "jobs/JobMessages.h"
#include "jobs/JobPaths.h"
#include "jobs/Jobs.h"
#include "files/ScratchFile.h"

namespace vaultpack {

namespace {

// A step that writes its output, and one that reads an intermediate file.
using WritingStep = std::function<StepOutcome(const StepOutput&)>;
using ReadingStep = std::function<StepOutcome(const std::filesystem::path&)>;

std::vector<MessageLine> WithReason(MessageId id, const std::optional<MessageLine>& reason) {
    std::vector<MessageLine> lines{MessageLine::Text(id)};
    if (reason) {
        lines.push_back(*reason);
    }
    return lines;
}

// A failure of the step that writes an output of this kind.
void ShowFailureOfKind(JobHost& host, FileFilter kind, const std::optional<MessageLine>& reason) {
    if (kind == FileFilter::Zip) {
        ShowError(host, MessageOwner::Progress, WithReason(MessageId::CreateZipFailed, reason));
    } else {
        ShowError(host, MessageOwner::None, WithReason(MessageId::EncryptFailed, reason));
    }
}

// Two steps through an intermediate file called scratchName, which is removed
// whatever happens: the first writes it, the second reads it. A step that does
// not get done (failed or cancelled) is reported with its message and the
// second step is skipped.
StepOutcome RunTwoSteps(JobHost& host, const std::string& scratchName, const WritingStep& first,
                        MessageId firstFailure, const ReadingStep& second, MessageId secondFailure) {
    std::optional<ScratchFile> scratch;
    FileHandle intermediate;
    try {
        scratch.emplace(scratchName);
        intermediate = FileHandle::CreateOrTruncate(scratch->Path());
    } catch (const std::exception& error) {
        ShowError(host, MessageOwner::None, WithReason(firstFailure, ReasonLine(error)));
        return {StepStatus::Failed};
    }
    StepOutcome outcome = first({intermediate, scratch->Path()});
    if (outcome.status == StepStatus::Done) {
        try {
            intermediate.Close();  // a deferred write failure shows here, before the file is read
        } catch (const std::exception& error) {
            outcome = {StepStatus::Failed, false, ReasonLine(error)};
        }
    }
    MessageId failure = firstFailure;
    if (outcome.status == StepStatus::Done) {
        const bool itemsLeftOut = outcome.itemsLeftOut;
        outcome = second(scratch->Path());
        outcome.itemsLeftOut = outcome.itemsLeftOut || itemsLeftOut;
        failure = secondFailure;
    }
    if (outcome.status != StepStatus::Done) {
        ShowError(host, MessageOwner::None, WithReason(failure, outcome.reason));
    }
    return outcome;
}

// Runs the combination's steps into target, whose shown path is the output
// the user chose (which also names the intermediate archive of several
// encrypted items).
StepOutcome RunCombination(const CreateArchiveParams& params, CreateCombination combination,
                           const StepOutput& target, JobHost& host) {
    const std::filesystem::path& firstSource = params.items.front().sourcePath;
    // A row found under a folder keeps that folder in the archive; a container
    // is stored under its own file name.
    const std::string firstStoredName = params.items.front().StoredName();
    const auto encrypt = [&](const std::filesystem::path& source, const StepOutput& output, bool markZip) {
        return EncryptStep(params.password, params.hint, source, output, markZip, host);
    };
    const ZipProtection protection{params.aesZip ? std::optional<std::string>(params.password) : std::nullopt};
    const WritingStep zipList = [&](const StepOutput& archive) {
        return ZipItemList(params.items, archive, params.threads, protection, host);
    };
    const WritingStep zipFirstItem = [&](const StepOutput& archive) {
        return ZipSingleFile(firstSource, firstStoredName, archive, params.threads, protection, host);
    };

    switch (combination) {
        case CreateCombination::ZipList:
            return zipList(target);
        case CreateCombination::ZipSingle:
            return zipFirstItem(target);
        case CreateCombination::EncryptSingle: {
            // The step shows nothing itself; a failure must not pass in silence.
            StepOutcome outcome = encrypt(firstSource, target, false);
            if (outcome.status == StepStatus::Failed) {
                ShowFailureOfKind(host, FileFilter::Ezc, outcome.reason);
            }
            return outcome;
        }
        case CreateCombination::ZipListThenEncrypt:
            return RunTwoSteps(
                host, BaseName(target.shown) + ".zip", zipList, MessageId::ZipFailed,
                [&](const std::filesystem::path& archive) { return encrypt(archive, target, true); },
                MessageId::EncryptFailed);
        case CreateCombination::ZipSingleThenEncrypt:
            return RunTwoSteps(
                host, BaseName(firstSource) + ".zip", zipFirstItem, MessageId::ZipFailed,
                [&](const std::filesystem::path& archive) { return encrypt(archive, target, false); },
                MessageId::EncryptFailed);
        case CreateCombination::EncryptSingleThenZip:
            return RunTwoSteps(
                host, BaseName(firstSource) + ".ezc",
                [&](const StepOutput& container) { return encrypt(firstSource, container, false); },
                MessageId::EncryptFailed,
                [&](const std::filesystem::path& container) {
                    return ZipSingleFile(container, container.filename().string(), target, params.threads,
                                         protection, host);
                },
                MessageId::ZipFailed);
    }
    return {StepStatus::Failed};
}

// Writes the output as an OutputFile beside its final name and puts it in
// place only when every step is done, so a failed or cancelled job leaves a
// file the user agreed to replace (possibly one of the items) as it was.
// A file that appears at the output while the job runs, where nothing stood
// when the user chose it (replaceExisting false), is kept.
StepOutcome WriteOutput(const CreateArchiveParams& params, CreateCombination combination,
                        const std::filesystem::path& output, bool replaceExisting, JobHost& host) {
    const FileFilter kind = OutputKind(combination);
    std::optional<OutputFile> staged;
    try {
        staged.emplace(output);
    } catch (const std::exception& error) {
        ShowFailureOfKind(host, kind, ReasonLine(error));
        return {StepStatus::Failed};
    }
    StepOutcome outcome = RunCombination(params, combination, {staged->File(), output}, host);
    if (outcome.status == StepStatus::Done) {
        try {
            staged->Commit({.replaceExisting = replaceExisting, .durable = true});
        } catch (const std::exception& error) {
            ShowFailureOfKind(host, kind, ReasonLine(error));
            outcome.status = StepStatus::Failed;
        }
    }
    return outcome;
}

JobOutcome OutcomeOf(const StepOutcome& outcome) {
    switch (outcome.status) {
        case StepStatus::Done:
            return outcome.itemsLeftOut ? JobOutcome::ItemsLeftOut : JobOutcome::Succeeded;
        case StepStatus::Cancelled:
            return JobOutcome::Cancelled;
        case StepStatus::Failed:
            break;
    }
    return JobOutcome::Failed;
}

// What the user is told once the output is in place. Only an output whose
// content is encrypted is called encrypted: a plain ZIP, sent on in that
// belief, would expose what it holds.
MessageLine CreatedMessage(CreateCombination combination, bool aesZip, const std::filesystem::path& output) {
    switch (combination) {
        case CreateCombination::ZipList:
        case CreateCombination::ZipSingle:
            return MessageLine::Text(aesZip ? MessageId::AesArchiveCreated : MessageId::PlainArchiveCreated,
                                     {output.string()});
        case CreateCombination::ZipListThenEncrypt:
        case CreateCombination::EncryptSingle:
        case CreateCombination::ZipSingleThenEncrypt:
        case CreateCombination::EncryptSingleThenZip:
            break;
    }
    return MessageLine::Text(MessageId::ArchiveCreated);
}

JobOutcome CreateArchive(CreateArchiveParams params, JobHost& host) {
    if (params.items.empty()) {
        // Nothing to ask a file name for.
        ShowError(host, MessageOwner::None, {MessageLine::Text(MessageId::NoFilesSelected)});
        return JobOutcome::NothingDone;
    }
    // Two files under one name would both be written and one lost on
    // extraction; the same file twice is simply taken once.
    if (const auto clash = DropRepeatedSources(params.items)) {
        ShowError(host, MessageOwner::None,
                  {MessageLine::Text(MessageId::StoredNameTakenTwice,
                                     {clash->first.string(), clash->second.string()})});
        return JobOutcome::Failed;
    }

    const CreateCombination combination = ChooseCombination(params);
    const FileFilter kind = OutputKind(combination);
    const std::string defaultName =
        params.multipleItems ? std::string() : DefaultOutputName(params.items.front().name, kind);
    // No setting remembers a last folder: the first item's folder is the best guess.
    const std::optional<std::filesystem::path> output =
        host.ChooseFileToSave(kind, defaultName, params.items.front().sourcePath.parent_path());
    if (!output) {
        return JobOutcome::NothingDone;
    }
    if (const auto refusal = OutputRefusal(*output)) {
        ShowFailureOfKind(host, kind, refusal);
        return JobOutcome::Failed;
    }

    const bool outputExisted = PathExists(*output);

    host.ShowProgress();
    host.SetProgressTitle(MessageId::CreatingArchiveTitle);
    host.SetCancelCaption(MessageId::Cancel);
    const StepOutcome outcome = WriteOutput(params, combination, *output, outputExisted, host);
    if (outcome.status == StepStatus::Done) {
        ShowInformation(host, {CreatedMessage(combination, params.aesZip, *output)});
    }
    return OutcomeOf(outcome);
}

}  // namespace

JobCompletion RunCreateArchiveJob(const CreateArchiveParams& params, JobHost& host) {
    JobCompletion completion;
    completion.kind = JobKind::CreateArchive;
    completion.outcome = CreateArchive(params, host);
    return completion;
}

}  // namespace vaultpack
