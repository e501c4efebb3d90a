#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/MessageCatalogue.h"
#include "app/PasswordRule.h"
#include "cli/Terminal.h"

namespace vaultpack {

// A password as vaultpack-cli obtained it, or why there is none.
struct PasswordInput {
    enum class Status {
        Given,
        Cancelled,  // Ctrl-C or the end of input at the prompt
        Refused,    // unreadable, or still against the rule after the last try
    };
    Status status = Status::Refused;
    std::string password;  // when Given
    std::string problem;   // when Refused: the reason, ready to print
};

// How many times a prompt asks before it gives up on input that breaks the rule.
inline constexpr int kPasswordPromptRounds = 3;

// The password rule as vaultpack-cli applies it: ValidatePassword, and no more
// than kMaxPasswordLength bytes (the password forms' fields stop there).
// The text that names the problem, or nothing.
std::optional<std::string> PasswordProblem(const MessageCatalogue& catalogue, std::string_view password,
                                           PasswordRule rule = PasswordRule::Ours);

// --password-file: the first line of the file without its line end ("\n" or
// "\r\n"), read from `standardInput` when the path is "-". Nothing past that
// line is read. The line must keep the rule.
PasswordInput ReadPasswordFile(const std::filesystem::path& path, int standardInput,
                               const MessageCatalogue& catalogue, PasswordRule rule = PasswordRule::Ours);

// Asks for a password without echo, showing a container's hint ("--" when it
// has none). Without a hint it asks for an archive's password, which keeps
// the archive rule (PasswordRule::AnyArchive) and has no hint line; until the typed text keeps the rule. Each refusal but the
// last is told on the terminal; the last is the result's problem. With no
// terminal (a null one) there is nobody to ask: Refused, pointing to
// --password-file.
PasswordInput AskPasswordOnTerminal(Terminal* terminal, const MessageCatalogue& catalogue,
                                    const std::optional<std::string>& hint);

// Asks for a new password twice without echo, until it keeps the rule and
// both texts are the same; Refused as above with no terminal.
PasswordInput AskNewPasswordOnTerminal(Terminal* terminal, const MessageCatalogue& catalogue);

}  // namespace vaultpack
