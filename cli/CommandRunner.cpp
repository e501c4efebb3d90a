#include "cli/CommandRunner.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <variant>

#include "app/VersionText.h"
#include "cli/ArchiveItemList.h"
#include "cli/ArchiveListing.h"
#include "cli/ConsoleJobHost.h"
#include "cli/ContainerInfo.h"
#include "cli/PasswordInput.h"
#include "app/PrintableText.h"
#include "files/AsciiCase.h"
#include "jobs/FollowOnUnzip.h"
#include "jobs/JobRunner.h"
#include "jobs/Jobs.h"

namespace vaultpack {
namespace {

void Tell(const CliConsole& console, const std::string& text) {
    console.errors << "vaultpack-cli: " << PrintableText(text, true) << '\n' << std::flush;
}

ExitStatus Refuse(const CliConsole& console, ExitStatus status, const std::string& problem) {
    Tell(console, problem);
    return status;
}

std::string Shown(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

std::shared_ptr<ConsoleJobHost> MakeHost(const CliConsole& console, ConsoleHostAnswers answers) {
    return std::make_shared<ConsoleJobHost>(console.catalogue, std::move(answers), console.terminal, console.output,
                                            console.errors, console.cancelFlag, console.progressBar);
}

// Runs a job the way the desktop program does, on its own thread through the
// job runner, and waits for it: the terminal is this run's only window.
// itemsLeftOutBefore: collecting the job's items left some out.
ExitStatus RunJob(JobKind kind, const std::shared_ptr<ConsoleJobHost>& host, JobBody body,
                  bool itemsLeftOutBefore = false) {
    StartJob(kind, host, std::move(body)).Wait();
    const JobOutcome outcome = host->Completion() ? host->Completion()->outcome : JobOutcome::Failed;
    return ExitStatusFor(outcome, {host->UserCancelled(), host->PasswordRefused(), itemsLeftOutBefore});
}

ConsoleHostAnswers AnswersFrom(const CommandLine& command) {
    ConsoleHostAnswers answers;
    answers.overwrite = command.overwrite;
    return answers;
}

// The password of a run when it comes from --password-file;
// nothing without one.
std::optional<PasswordInput> PasswordFromFile(const CommandLine& command, const CliConsole& console,
                                              PasswordRule rule = PasswordRule::Ours) {
    if (!command.passwordFile) {
        return std::nullopt;
    }
    return ReadPasswordFile(*command.passwordFile, console.standardInput, console.catalogue, rule);
}

// How a run ends when its password could not be had: Cancelled, or BadInput
// with the reason told. Nothing when the password was given.
std::optional<ExitStatus> EndWithoutPassword(const PasswordInput& input, const CliConsole& console) {
    switch (input.status) {
        case PasswordInput::Status::Given:
            break;
        case PasswordInput::Status::Cancelled:
            return ExitStatus::Cancelled;
        case PasswordInput::Status::Refused:
            return Refuse(console, ExitStatus::BadInput, input.problem);
    }
    return std::nullopt;
}

// The password from --password-file, where given, as the host's answer; how
// the run ends when it could not be read.
std::optional<ExitStatus> TakePasswordFile(const CommandLine& command, const CliConsole& console,
                                           ConsoleHostAnswers& answers, PasswordRule rule) {
    if (std::optional<PasswordInput> input = PasswordFromFile(command, console, rule)) {
        if (const auto end = EndWithoutPassword(*input, console)) {
            return end;
        }
        answers.password = std::move(input->password);
    }
    return std::nullopt;
}

// The ITEMs must be files or folders, and none may be the OUTPUT itself.
std::optional<std::string> ItemProblem(const CommandLine& command) {
    std::error_code error;
    if (std::filesystem::is_directory(command.target, error)) {
        return "the OUTPUT " + Shown(command.target) + " is a folder";
    }
    for (const std::filesystem::path& item : command.items) {
        const std::filesystem::file_status status = std::filesystem::status(item, error);
        if (!std::filesystem::exists(status)) {
            return "no such file or folder: " + Shown(item);
        }
        if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_directory(status)) {
            return "not a file or folder: " + Shown(item);
        }
        if (std::filesystem::equivalent(item, command.target, error)) {
            return "the OUTPUT " + Shown(command.target) + " is also an ITEM";
        }
    }
    return std::nullopt;
}

// The order for one file with both steps: the one given, or else the one
// whose result the OUTPUT's extension names (.ezc: zip first, then encrypt,
// giving a container; otherwise encrypt first, giving a ZIP archive). An
// order whose result the extension contradicts is refused with the reason.
std::variant<std::int32_t, std::string> OrderForOneFile(const CommandLine& command) {
    const std::string extension = AsciiLowercase(command.target.extension().string());
    const bool namesContainer = extension == ".ezc";
    if (!command.order) {
        return namesContainer ? 1 : 0;
    }
    const bool zipFirst = *command.order != 0;
    if (zipFirst ? extension != ".zip" : !namesContainer) {
        return *command.order;
    }
    const std::string stem = command.target.stem().string();
    return zipFirst ? "--order zip-first makes an encrypted container, but the OUTPUT " + Shown(command.target) +
                          " is named as a ZIP archive; name it " + Shown(stem + ".ezc") + " or use --order encrypt-first"
                    : "--order encrypt-first makes a ZIP archive, but the OUTPUT " + Shown(command.target) +
                          " is named as a container; name it " + Shown(stem + ".zip") + " or use --order zip-first";
}

ExitStatus RunCreate(const CommandLine& command, const CliConsole& console) {
    if (const auto problem = ItemProblem(command)) {
        return Refuse(console, ExitStatus::BadInput, *problem);
    }
    ArchiveItemList list = CollectArchiveItems(command.items, command.target);
    for (const auto& [skipped, reason] : list.skipped) {
        Tell(console, console.catalogue.Format(SkippedMessage(reason), skipped.string()));
    }
    if (!list.refusal.empty()) {
        return Refuse(console, ExitStatus::BadInput, list.refusal);
    }
    if (!list.failure.empty()) {
        return Refuse(console, ExitStatus::Failed, list.failure);
    }
    if (list.items.empty()) {
        return Refuse(console, ExitStatus::BadInput, console.catalogue.Load(MessageId::NoFilesSelected));
    }

    CreateArchiveParams params;
    params.multipleItems = list.items.size() > 1;
    params.items = std::move(list.items);
    params.encryptEnabled = command.encrypt;
    params.threads = command.threads;
    // Several files are only ever encrypted as one archive.
    params.zipEnabled = command.zip || command.aes || (command.encrypt && params.multipleItems);
    params.aesZip = command.aes;
    if (params.items.size() == 1 && params.zipEnabled && params.encryptEnabled) {
        const auto order = OrderForOneFile(command);
        if (const auto* problem = std::get_if<std::string>(&order)) {
            return Refuse(console, ExitStatus::BadInput, *problem);
        }
        params.order = std::get<std::int32_t>(order);
    }
    if (command.encrypt || command.aes) {
        std::optional<PasswordInput> input = PasswordFromFile(command, console);
        if (!input) {
            input = AskNewPasswordOnTerminal(console.terminal, console.catalogue);
        }
        if (const auto end = EndWithoutPassword(*input, console)) {
            return *end;
        }
        params.password = std::move(input->password);
        params.hint = command.hint;
    }

    ConsoleHostAnswers answers = AnswersFrom(command);
    answers.fileToSave = command.target;
    answers.continueAfterFailure = command.keepGoing;
    // What was skipped was named before the job began; a script learns it from the status.
    return RunJob(
        JobKind::CreateArchive, MakeHost(console, std::move(answers)),
        [params = std::move(params)](JobHost& host) { return RunCreateArchiveJob(params, host); },
        !list.skipped.empty());
}

// The decrypt job, then, for a container that holds an archive made by
// create, the unzip job on the decrypted archive as the main window runs it.
ExitStatus RunDecrypt(const CommandLine& command, const CliConsole& console) {
    ConsoleHostAnswers answers = AnswersFrom(command);
    if (const auto end = TakePasswordFile(command, console, answers, PasswordRule::Ours)) {
        return *end;
    }
    // An archive in the container that is protected itself (create --aes
    // --encrypt) was given the same password.
    ConsoleHostAnswers unzipAnswers = AnswersFrom(command);
    unzipAnswers.password = answers.password;
    const std::shared_ptr<ConsoleJobHost> host = MakeHost(console, std::move(answers));
    FileJobParams params;
    params.sourceFiles = {command.target};
    const ExitStatus status =
        RunJob(JobKind::Decrypt, host, [params](JobHost& jobHost) { return RunDecryptJob(params, jobHost); });
    if (!host->Completion()) {
        return status;
    }
    const DecryptFollowOn followOn = DecideDecryptFollowOn(*host->Completion(), false);
    if (!followOn.startUnzip) {
        return status;
    }
    return CombinedExitStatus(status, RunJob(JobKind::Unzip, MakeHost(console, std::move(unzipAnswers)),
                                             [params = *followOn.startUnzip](JobHost& jobHost) {
                                                 return RunUnzipJob(params, jobHost);
                                             }));
}

ExitStatus RunUnzip(const CommandLine& command, const CliConsole& console) {
    FileJobParams params;
    params.sourceFiles = {command.target};
    params.destinationFolders = {command.folder.empty() ? std::filesystem::path(".") : command.folder};
    ConsoleHostAnswers answers = AnswersFrom(command);
    answers.continueAfterFailure = command.keepGoing;
    // The password of an archive from elsewhere is taken as that archiver took it.
    if (const auto end = TakePasswordFile(command, console, answers, PasswordRule::AnyArchive)) {
        return *end;
    }
    return RunJob(JobKind::Unzip, MakeHost(console, std::move(answers)),
                  [params](JobHost& host) { return RunUnzipJob(params, host); });
}

}  // namespace

ExitStatus RunCommand(const CommandLine& command, const CliConsole& console) {
    switch (command.kind) {
        case CommandKind::Create:
            return RunCreate(command, console);
        case CommandKind::Decrypt:
            return RunDecrypt(command, console);
        case CommandKind::Unzip:
            return RunUnzip(command, console);
        case CommandKind::List:
            return PrintArchiveListing(command.target, console.catalogue, console.output, console.errors);
        case CommandKind::Info:
            return PrintContainerInfo(command.target, console.catalogue, console.output, console.errors);
        case CommandKind::Version:
            console.output << "vaultpack-cli " << ProgramVersionText().DottedVersion() << '\n' << std::flush;
            return ExitStatus::Done;
        case CommandKind::Help:
            console.output << HelpText() << std::flush;
            return ExitStatus::Done;
    }
    return ExitStatus::BadInput;
}

}  // namespace vaultpack
