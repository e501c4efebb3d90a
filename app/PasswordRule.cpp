#include "app/PasswordRule.h"

#include <algorithm>

namespace vaultpack {

std::optional<MessageId> ValidatePassword(std::string_view password) {
    if (password.empty()) {
        return MessageId::EnterPassword;
    }
    const bool printable = std::all_of(password.begin(), password.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x21 && byte <= 0x7E;
    });
    if (!printable) {
        return MessageId::PasswordInvalidCharacters;
    }
    return std::nullopt;
}

std::optional<MessageId> ValidateArchivePassword(std::string_view password) {
    if (password.empty()) {
        return MessageId::EnterPassword;
    }
    if (password.find('\0') != std::string_view::npos) {
        return MessageId::PasswordInvalidCharacters;
    }
    return std::nullopt;
}

std::optional<MessageId> ValidateNewPassword(std::string_view password, std::string_view retyped) {
    if (const auto problem = ValidatePassword(password)) {
        return problem;
    }
    if (password != retyped) {
        return MessageId::PasswordsDoNotMatch;
    }
    return std::nullopt;
}

}  // namespace vaultpack
