// The decrypt job: picks a container, asks for its password, asks before
// replacing an existing file and restores the plaintext beside the container.

#include <optional>
#include <utility>

#include "crypto/DecryptFile.h"
#include "crypto/EncryptedFileHeader.h"
#include "crypto/EncryptedFileReaders.h"
#include "jobs/FailureReasons.h"
#include "jobs/JobMessages.h"
#include "jobs/JobPaths.h"
#include "jobs/Jobs.h"
#include "jobs/OverwriteQuestion.h"
#include "jobs/StatusText.h"

namespace vaultpack {

namespace {

// What the job reads from the container's clear header before it decrypts.
struct ContainerFacts {
    std::string hint;
    bool holdsZipArchive = false;
    std::filesystem::path target;
    std::uint64_t cipherBytes = 0;  // what follows the header
};

void ShowDecryptFailure(JobHost& host, MessageId message, MessageLine reason) {
    ShowError(host, MessageOwner::Progress, {MessageLine::Text(message), std::move(reason)});
}

// The header facts, or nothing after telling the user why the file can't be
// decrypted: not a container, a wrong version, a file that can't be read or a
// stored name that is no usable file name.
std::optional<ContainerFacts> ReadContainerFacts(const std::filesystem::path& container, JobHost& host) {
    try {
        const HeaderCheck check = CheckEncryptedHeader(container);
        if (!check.Valid()) {
            ShowError(host, MessageOwner::Progress, {MessageLine::Text(FailureMessage(check.failure, MessageId::NotEncryptedFile))});
            return std::nullopt;
        }
        // Without its whole header no password can be checked: a damaged
        // file, not a wrong password.
        const std::uintmax_t size = std::filesystem::file_size(container);
        if (size < EncryptedFileHeader::kSize) {
            ShowDecryptFailure(host, MessageId::DecryptFailed,
                               MessageLine::Text(MessageId::ReasonContainerShorterThanHeader, {container.string()}));
            return std::nullopt;
        }
        return ContainerFacts{ReadHint(container), ReadZipFlag(container) != 0, DecryptionTargetPath(container),
                              size - EncryptedFileHeader::kSize};
    } catch (const std::exception& error) {
        ShowDecryptFailure(host, MessageId::DecryptFailed, ReasonLine(error));
        return std::nullopt;
    }
}

JobOutcome Decrypt(const FileJobParams& params, JobHost& host, JobCompletion& completion) {
    const std::optional<std::filesystem::path> chosen =
        GivenOrAsked(params.sourceFiles, [&] { return host.ChooseFileToOpen(FileFilter::Ezc); });
    if (!chosen) {
        return JobOutcome::NothingDone;
    }
    const std::filesystem::path& container = *chosen;

    const std::optional<ContainerFacts> facts = ReadContainerFacts(container, host);
    if (!facts) {
        return JobOutcome::Failed;
    }

    std::string password;
    for (bool wrongOnce = false;; wrongOnce = true) {
        const std::optional<std::string> typed = host.AskPassword(facts->hint);
        if (!typed) {
            return wrongOnce ? JobOutcome::WrongPassword : JobOutcome::NothingDone;
        }
        try {
            if (CheckPassword(container, *typed)) {
                password = *typed;
                break;
            }
        } catch (const std::exception& error) {
            ShowDecryptFailure(host, MessageId::DecryptFailed, ReasonLine(error));
            return JobOutcome::Failed;
        }
        ShowError(host, MessageOwner::MainWindow, {MessageLine::Text(MessageId::WrongPassword)});
    }

    if (auto refusal = OutputRefusal(facts->target)) {
        ShowDecryptFailure(host, MessageId::DecryptFailed, std::move(*refusal));
        return JobOutcome::Failed;
    }
    // Only a file the user agreed to replace is replaced; one that appears
    // while the plaintext is written is kept.
    const bool targetExisted = PathExists(facts->target);
    OverwriteQuestion overwrite(OverwriteKind::DecryptedFile, std::nullopt);
    if (targetExisted && overwrite.Ask(host, facts->target) != MessageAnswer::Yes) {
        return JobOutcome::NothingDone;
    }
    completion.replaceAll = overwrite.ReplaceAll();

    host.ShowProgress();
    host.SetCancelCaption(MessageId::Cancel);
    host.SetRange(1);
    host.SetStatus(DecryptingStatus(container));
    host.SetProgressTitle(MessageId::DecryptingProgressTitle);
    // The cipher's bar stands for the container's enciphered bytes.
    host.SetAmounts({0, 1, facts->cipherBytes});
    // The engine writes under a temporary name and replaces the target only
    // when the plaintext is complete: after a cancellation or a failure there
    // is nothing to delete, and a file the user agreed to replace is still there.
    const FileOperationResult result = DecryptFile(container, password, &host, targetExisted);
    if (result.status == FileOperationStatus::Cancelled) {
        return JobOutcome::Cancelled;
    }
    completion.decryptedContainer = container;
    if (!result.Completed()) {
        ShowDecryptFailure(host, FailureMessage(result.failure, MessageId::DecryptFailed), ReasonLine(result));
        return JobOutcome::Failed;
    }
    completion.decryptionCompleted = true;
    if (!facts->holdsZipArchive) {
        ShowInformation(host, {MessageLine::Text(MessageId::FileDecrypted)});
    }
    return JobOutcome::Succeeded;
}

}  // namespace

JobCompletion RunDecryptJob(const FileJobParams& params, JobHost& host) {
    JobCompletion completion;
    completion.kind = JobKind::Decrypt;
    completion.outcome = Decrypt(params, host, completion);
    return completion;
}

}  // namespace vaultpack
