#include "cli/ConsoleJobHost.h"

#include <algorithm>
#include <system_error>

#include "app/MessageRendering.h"
#include "cli/PasswordInput.h"
#include "cli/PrintableText.h"
#include "files/AsciiCase.h"

namespace vaultpack {
namespace {

}  // namespace

ConsoleJobHost::ConsoleJobHost(const MessageCatalogue& catalogue, ConsoleHostAnswers answers, Terminal* terminal,
                               std::ostream& output, std::ostream& errors, const std::atomic<bool>& cancelFlag,
                               ProgressBar* progressBar)
    : catalogue_(catalogue),
      answers_(std::move(answers)),
      terminal_(terminal),
      output_(output),
      errors_(errors),
      cancelFlag_(cancelFlag),
      progressBar_(progressBar) {}

std::optional<std::filesystem::path> ConsoleJobHost::ChooseFileToOpen(FileFilter) { return std::nullopt; }

std::optional<std::filesystem::path> ConsoleJobHost::ChooseFileToSave(FileFilter, const std::string&,
                                                                     const std::filesystem::path&) {
    if (!answers_.fileToSave) {
        return std::nullopt;
    }
    const std::filesystem::path& target = *answers_.fileToSave;
    std::error_code error;
    if (!std::filesystem::exists(target, error)) {
        return target;
    }
    if (std::filesystem::is_directory(target, error)) {
        Print(errors_, PrintableText(target.string(), false) + ": is a folder");
        return std::nullopt;
    }
    // A save dialog confirms replacing an existing file.
    return AskOverwrite(target, OverwriteKind::SavedFile) == MessageAnswer::Yes ? std::optional(target)
                                                                                  : std::nullopt;
}

std::optional<std::filesystem::path> ConsoleJobHost::ChooseFolder(MessageId) { return std::nullopt; }

std::optional<std::string> ConsoleJobHost::AskPassword(const std::string& hint) {
    const int question = passwordQuestions_++;
    if (answers_.password) {
        return question == 0 ? answers_.password : std::nullopt;
    }
    if (cancelFlag_.load() || question >= kPasswordQuestions) {
        return std::nullopt;
    }
    if (progressBar_ != nullptr) {
        progressBar_->Erase();
    }
    PasswordInput input = AskPasswordOnTerminal(terminal_, catalogue_, hint);
    switch (input.status) {
        case PasswordInput::Status::Given:
            return std::move(input.password);
        case PasswordInput::Status::Cancelled:
            userCancelled_ = true;
            break;
        case PasswordInput::Status::Refused:
            // The job ends without a word of its own; the reason is ours to tell.
            passwordRefused_ = true;
            Print(errors_, "vaultpack-cli: " + PrintableText(input.problem, true));
            break;
    }
    return std::nullopt;
}

MessageAnswer ConsoleJobHost::ShowMessage(const MessageBoxRequest& request) {
    const std::string text = PrintableText(RenderMessageLines(catalogue_, request.lines), true);
    if (request.buttons == MessageButtons::Ok) {
        Print(request.caption == MessageId::CaptionError ? errors_ : output_, text);
        return MessageAnswer::Ok;
    }
    return Ask(request, text);
}

MessageAnswer ConsoleJobHost::AskOverwrite(const std::filesystem::path& path, OverwriteKind kind) {
    if (answers_.overwrite != OverwritePolicy::Ask) {
        return answers_.overwrite == OverwritePolicy::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    return JobHost::AskOverwrite(path, kind);
}

bool ConsoleJobHost::AskContinueAfterFailure(std::vector<MessageLine> reason) {
    if (!answers_.continueAfterFailure) {
        return JobHost::AskContinueAfterFailure(std::move(reason));
    }
    reason.push_back(MessageLine::Text(MessageId::ContinueWithNextFile));
    Print(errors_, PrintableText(RenderMessageLines(catalogue_, reason), true) + "\n(--keep-going: yes)");
    return true;
}

MessageAnswer ConsoleJobHost::Ask(const MessageBoxRequest& request, const std::string& text) {
    const MessageAnswer wayOut = CancelledAnswer(request.buttons);
    const bool withAll =
        request.buttons == MessageButtons::YesNoAll || request.buttons == MessageButtons::YesNoAllCancel;
    const bool withCancel =
        request.buttons == MessageButtons::YesNoCancel || request.buttons == MessageButtons::YesNoAllCancel;
    if (cancelFlag_.load()) {
        return wayOut;
    }
    if (terminal_ == nullptr) {
        Print(errors_, text + "\n(no terminal to answer on: no)");
        return MessageAnswer::No;
    }
    if (progressBar_ != nullptr) {
        progressBar_->Erase();
    }
    terminal_->Write(text + "\n");
    for (;;) {
        const std::optional<std::string> line = terminal_->ReadLine(
            withAll ? (withCancel ? "[y]es, [n]o, [a]ll, n[o]ne or [c]ancel? " : "[y]es, [n]o, [a]ll or n[o]ne? ")
                    : (withCancel ? "[y]es, [n]o or [c]ancel? " : "[y]es or [n]o? "),
            true);
        if (!line) {
            // The end of input or Ctrl-C: the answer that stops, without asking again.
            return wayOut;
        }
        const std::string answer = AsciiLowercase(*line);
        if (answer == "y" || answer == "yes") {
            return MessageAnswer::Yes;
        }
        if (answer == "n" || answer == "no") {
            return MessageAnswer::No;
        }
        if (withCancel && (answer == "c" || answer == "cancel")) {
            return MessageAnswer::Cancel;
        }
        if (withAll && (answer == "a" || answer == "all")) {
            return MessageAnswer::YesToAll;
        }
        if (withAll && (answer == "o" || answer == "none")) {
            return MessageAnswer::NoToAll;
        }
    }
}

void ConsoleJobHost::Print(std::ostream& stream, const std::string& text) {
    if (progressBar_ != nullptr) {
        progressBar_->Erase();
    }
    stream << text << '\n' << std::flush;
}

void ConsoleJobHost::ShowProgress() {
    if (progressBar_ != nullptr) {
        progressBar_->Show();
    }
}

void ConsoleJobHost::SetProgressTitle(MessageId title) {
    if (progressBar_ != nullptr) {
        progressBar_->SetTitle(catalogue_.Load(title));
    }
}

void ConsoleJobHost::SetStatus(const MessageLine& status) {
    if (progressBar_ != nullptr) {
        progressBar_->SetStatus(RenderMessageLine(catalogue_, status));
    }
}

// There is no button to label: Ctrl-C cancels.
void ConsoleJobHost::SetCancelCaption(MessageId) {}

// The count only: a rate and a time left would leave no room for the file
// name on a narrow terminal.
void ConsoleJobHost::SetAmounts(const ProgressAmounts& amounts) {
    if (progressBar_ != nullptr) {
        progressBar_->SetCount(amounts.done, amounts.total);
    }
}

void ConsoleJobHost::SetRange(std::uint32_t high) {
    if (progressBar_ != nullptr) {
        progressBar_->SetRange(high);
    }
}

void ConsoleJobHost::SetPosition(std::uint32_t position) {
    if (progressBar_ != nullptr) {
        progressBar_->SetPosition(position);
    }
}

bool ConsoleJobHost::CancelRequested() const { return cancelFlag_.load(); }

void ConsoleJobHost::Complete(const JobCompletion& completion) {
    if (progressBar_ != nullptr) {
        progressBar_->Hide();
    }
    completion_ = completion;
}

}  // namespace vaultpack
