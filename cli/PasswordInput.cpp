#include "cli/PasswordInput.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "app/PasswordRule.h"
#include "app/TerminationSignals.h"
#include "cli/LineInput.h"
#include "app/PrintableText.h"

namespace vaultpack {
namespace {

PasswordInput Given(std::string password) { return {PasswordInput::Status::Given, std::move(password), {}}; }
PasswordInput Cancelled() { return {PasswordInput::Status::Cancelled, {}, {}}; }
PasswordInput Refused(std::string problem) { return {PasswordInput::Status::Refused, {}, std::move(problem)}; }
PasswordInput NoTerminal() { return Refused("no terminal to ask for the password on; use --password-file"); }

// The first line of the file, which must keep the rule. Reading stops once
// the line is too long for any password (a FIFO or /dev/zero never ends).
PasswordInput ReadFirstLine(int fd, const std::string& name, const MessageCatalogue& catalogue, PasswordRule rule) {
    // Room for "\r" and one byte too many.
    LineInput input =
        ReadLineFrom(fd, (rule == PasswordRule::Ours ? kMaxPasswordLength : kMaxArchivePasswordLength) + 2);
    if (input.end == LineInput::End::Interrupted) {
        return Cancelled();
    }
    if (input.end == LineInput::End::Failed) {
        return Refused("cannot read the password file " + name + ": " + std::strerror(input.error));
    }
    if (input.line.ends_with('\r')) {
        input.line.pop_back();
    }
    if (auto problem = PasswordProblem(catalogue, input.line, rule)) {
        return Refused(std::move(*problem));
    }
    return Given(std::move(input.line));
}

std::string Label(const MessageCatalogue& catalogue, MessageId id) { return catalogue.Load(id) + ": "; }

// One password typed without echo after its label.
std::optional<std::string> Prompt(Terminal& terminal, const MessageCatalogue& catalogue, MessageId label) {
    return terminal.ReadLine(Label(catalogue, label), false);
}

// Asks in rounds until the typed password keeps the rule and, for a new one,
// the retyped text is the same. Each refusal but the last is told on the
// terminal; the last is left to the caller as the reason for giving up.
PasswordInput AskInRounds(Terminal& terminal, const MessageCatalogue& catalogue, bool retype, PasswordRule rule) {
    std::string problem;
    for (int round = 0; round < kPasswordPromptRounds; ++round) {
        std::optional<std::string> typed = Prompt(terminal, catalogue, MessageId::EnterPasswordLabel);
        if (!typed) {
            return Cancelled();
        }
        const std::optional<std::string> retyped =
            retype ? Prompt(terminal, catalogue, MessageId::RetypePasswordLabel) : typed;
        if (!retyped) {
            return Cancelled();
        }
        // The rule and the length first, as the password form checks them; then the comparison.
        std::optional<std::string> refusal = PasswordProblem(catalogue, *typed, rule);
        if (!refusal && retype) {
            if (const auto mismatch = ValidateNewPassword(*typed, *retyped)) {
                refusal = catalogue.Load(*mismatch);
            }
        }
        if (!refusal) {
            return Given(std::move(*typed));
        }
        problem = std::move(*refusal);
        if (round + 1 < kPasswordPromptRounds) {
            terminal.Write(problem + "\n");
        }
    }
    return Refused(problem);
}

}  // namespace

std::optional<std::string> PasswordProblem(const MessageCatalogue& catalogue, std::string_view password,
                                           PasswordRule rule) {
    const bool ours = rule == PasswordRule::Ours;
    if (const auto message = ours ? ValidatePassword(password) : ValidateArchivePassword(password)) {
        return catalogue.Load(*message);
    }
    const std::size_t longest = ours ? kMaxPasswordLength : kMaxArchivePasswordLength;
    if (password.size() > longest) {
        return "The password is longer than " + std::to_string(longest) + " characters.";
    }
    return std::nullopt;
}

PasswordInput ReadPasswordFile(const std::filesystem::path& path, int standardInput,
                               const MessageCatalogue& catalogue, PasswordRule rule) {
    if (path == "-") {
        return ReadFirstLine(standardInput, "(standard input)", catalogue, rule);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EINTR && InterruptFlag().load()) {
            return Cancelled();  // a FIFO with no writer yet
        }
        return Refused("cannot open the password file " + path.string() + ": " + std::strerror(error));
    }
    PasswordInput input = ReadFirstLine(fd, path.string(), catalogue, rule);
    ::close(fd);
    return input;
}

PasswordInput AskPasswordOnTerminal(Terminal* terminal, const MessageCatalogue& catalogue,
                                    const std::optional<std::string>& hint) {
    if (terminal == nullptr) {
        return NoTerminal();
    }
    if (hint) {
        terminal->Write(Label(catalogue, MessageId::HintLabel) + (hint->empty() ? "--" : PrintableText(*hint, false)) +
                        "\n");
    }
    return AskInRounds(*terminal, catalogue, false, hint ? PasswordRule::Ours : PasswordRule::AnyArchive);
}

PasswordInput AskNewPasswordOnTerminal(Terminal* terminal, const MessageCatalogue& catalogue) {
    if (terminal == nullptr) {
        return NoTerminal();
    }
    return AskInRounds(*terminal, catalogue, true, PasswordRule::Ours);
}

}  // namespace vaultpack
