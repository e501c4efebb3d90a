#pragma once

#include <atomic>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "app/MessageCatalogue.h"
#include "cli/CommandLine.h"
#include "cli/ProgressBar.h"
#include "cli/Terminal.h"
#include "jobs/JobHost.h"

namespace vaultpack {

// The answers a console host gives without asking, taken from the command line.
struct ConsoleHostAnswers {
    OverwritePolicy overwrite = OverwritePolicy::Ask;
    // What the save dialog would return (create's OUTPUT); nothing makes it
    // answer "cancelled". The files to open and the folder to unzip into go in
    // the job's record, so the open dialog and the folder chooser always
    // answer "cancelled".
    std::optional<std::filesystem::path> fileToSave;
    // A password from --password-file: the answer to the first password
    // question only; after a wrong password there is nothing more to try.
    std::optional<std::string> password;
    // "Continue with next file?" is answered yes (the failure still shows).
    bool continueAfterFailure = false;
};

// JobHost on a terminal, for one job. Questions go to the terminal; with no
// terminal (a null one) every question is answered No. Overwrite questions
// (messages 122 and 127, and an existing file to save) follow the overwrite
// policy and are asked only under OverwritePolicy::Ask. Message boxes print
// their text: errors on `errors`, information on `output`. The progress bar,
// when given, draws on its own stream. Ctrl-C reaches the job through
// `cancelFlag`; once it is set, questions are answered No or Cancel unasked.
class ConsoleJobHost final : public JobHost {
public:
    ConsoleJobHost(const MessageCatalogue& catalogue, ConsoleHostAnswers answers, Terminal* terminal,
                   std::ostream& output, std::ostream& errors, const std::atomic<bool>& cancelFlag,
                   ProgressBar* progressBar);

    Answer Ask(const Question& question) override;
    void Report(const Progress& progress) override;
    void Complete(const JobCompletion& completion) override;

    // How many passwords a terminal user may try on one container.
    static constexpr int kPasswordQuestions = 3;

    // What the exit status needs to know besides the job's outcome: whether
    // the user stopped the run (Ctrl-C, or the end of input at a password
    // prompt), and whether a password was needed but could not be had (no
    // terminal, or input against the rule).
    bool UserCancelled() const { return userCancelled_ || cancelFlag_.load(); }
    bool PasswordRefused() const { return passwordRefused_; }
    // The job's completion, once it has arrived.
    const std::optional<JobCompletion>& Completion() const { return completion_; }

private:
    MessageAnswer Reply(const MessageBoxRequest& request);
    MessageAnswer Reply(const ReplaceQuestion& question);
    MessageAnswer Reply(const GoOnQuestion& question);
    // From the password file, or asked on the terminal at most
    // kPasswordQuestions times in one job. Why no password could be had (no
    // terminal, input against the rule) is told on `errors`.
    PasswordAnswer Reply(const PasswordQuestion& question);
    PathAnswer Reply(const OpenFileQuestion& question);
    PathAnswer Reply(const SaveFileQuestion& question);
    PathAnswer Reply(const FolderQuestion& question);

    MessageAnswer AskOnTerminal(const MessageBoxRequest& request, const std::string& text);
    void Print(std::ostream& stream, const std::string& text);

    const MessageCatalogue& catalogue_;
    ConsoleHostAnswers answers_;
    Terminal* terminal_;
    std::ostream& output_;
    std::ostream& errors_;
    const std::atomic<bool>& cancelFlag_;
    ProgressBar* progressBar_;

    int passwordQuestions_ = 0;
    bool userCancelled_ = false;
    bool passwordRefused_ = false;
    // What the progress bar shows of the job's snapshots.
    Progress shown_;
    std::optional<JobCompletion> completion_;
};

}  // namespace vaultpack
