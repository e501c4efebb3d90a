// The decrypt job: picks a container, asks for its password, asks before
// replacing an existing file and restores the plaintext beside the container.

#include <optional>
#include <utility>

#include "crypto/DecryptFile.h"
#include "crypto/EncryptedContainer.h"
#include "crypto/EncryptedFileHeader.h"
#include "files/OutputFile.h"
#include "jobs/FailureReasons.h"
#include "jobs/JobMessages.h"
#include "jobs/JobPaths.h"
#include "jobs/Jobs.h"
#include "jobs/OverwriteQuestion.h"
#include "jobs/StatusText.h"

namespace vaultpack {

namespace {

// The container, opened with its header read once, and the file it restores to.
struct CheckedContainer {
    EncryptedContainer container;
    std::filesystem::path target;
};

void ShowDecryptFailure(JobHost& host, MessageId message, MessageLine reason) {
    ShowError(host, MessageOwner::Progress, {MessageLine::Text(message), std::move(reason)});
}

// The opened container, or nothing after telling the user why the file can't
// be decrypted: not a container, a wrong version, a file that can't be read,
// a header cut short or a stored name that is no usable file name.
std::optional<CheckedContainer> OpenContainer(const std::filesystem::path& path,
                                              const std::vector<std::filesystem::path>& destinationFolders,
                                              JobHost& host) {
    try {
        EncryptedContainer container = EncryptedContainer::Open(path);
        const HeaderCheck check = container.CheckHeader();
        if (!check.Valid()) {
            ShowError(host, MessageOwner::Progress, {MessageLine::Text(FailureMessage(check.failure, MessageId::NotEncryptedFile))});
            return std::nullopt;
        }
        // Without its whole header no password can be checked: a damaged
        // file, not a wrong password.
        if (!container.HeaderComplete()) {
            ShowDecryptFailure(host, MessageId::DecryptFailed,
                               MessageLine::Text(MessageId::ReasonContainerShorterThanHeader, {path.string()}));
            return std::nullopt;
        }
        std::filesystem::path target = container.TargetPath();
        if (!destinationFolders.empty()) {
            target = destinationFolders.front() / target.filename();
        }
        return CheckedContainer{std::move(container), std::move(target)};
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

    std::optional<CheckedContainer> checked = OpenContainer(container, params.destinationFolders, host);
    if (!checked) {
        return JobOutcome::Failed;
    }
    const EncryptedFileHeader& header = checked->container.Header();
    const std::filesystem::path& target = checked->target;

    std::string password;
    for (bool wrongOnce = false;; wrongOnce = true) {
        const std::optional<std::string> typed =
            !wrongOnce && params.password ? params.password : host.AskPassword(header.hint);
        if (!typed) {
            return wrongOnce ? JobOutcome::WrongPassword : JobOutcome::NothingDone;
        }
        if (checked->container.PasswordMatches(*typed)) {
            password = *typed;
            break;
        }
        ShowError(host, MessageOwner::MainWindow, {MessageLine::Text(MessageId::WrongPassword)});
    }

    if (auto refusal = OutputRefusal(target)) {
        ShowDecryptFailure(host, MessageId::DecryptFailed, std::move(*refusal));
        return JobOutcome::Failed;
    }
    // Only a file the user agreed to replace is replaced; one that appears
    // while the plaintext is written is kept.
    const bool targetExisted = PathExists(target);
    OverwriteQuestion overwrite(OverwriteKind::DecryptedFile, std::nullopt);
    if (targetExisted && overwrite.Ask(host, target) != MessageAnswer::Yes) {
        return JobOutcome::NothingDone;
    }
    completion.replaceAll = overwrite.ReplaceAll();

    host.ShowProgress();
    host.SetCancelCaption(MessageId::Cancel);
    host.SetRange(1);
    host.SetStatus(DecryptingStatus(container));
    host.SetProgressTitle(MessageId::DecryptingProgressTitle);
    // The cipher's bar stands for the container's enciphered bytes.
    host.SetAmounts({0, 1, checked->container.CipherBytes()});
    // The plaintext goes into an OutputFile that replaces the target only
    // when it is complete: after a cancellation or a failure there is nothing
    // to delete, and a file the user agreed to replace is still there. The
    // file opened above is decrypted, whatever stands at its path now.
    std::optional<OutputFile> output;
    FileOperationResult result = DecryptFile(
        checked->container, password,
        [&output, &target](const std::filesystem::path&) -> FileHandle& { return output.emplace(target).File(); },
        &host);
    if (result.Completed()) {
        result = RunFileOperation([&] {
            output->Commit({.replaceExisting = targetExisted, .durable = true});
            return result;
        });
    }
    if (result.status == FileOperationStatus::Cancelled) {
        return JobOutcome::Cancelled;
    }
    completion.decryptedContainer = container;
    if (!result.Completed()) {
        ShowDecryptFailure(host, FailureMessage(result.failure.reason, MessageId::DecryptFailed),
                           ReasonLine(result.failure).value_or(InternalErrorLine("decrypt")));
        return JobOutcome::Failed;
    }
    completion.decryptionCompleted = true;
    completion.decryptedFile = target;
    if (header.zipFlag != 0) {
        completion.decryptedArchive = target;
    } else if (params.announce) {
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
