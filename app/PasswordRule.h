#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "resources/MessageId.h"

namespace vaultpack {

// The longest password and hint the password forms take, in bytes. The hint
// fills the container header's hint field; a longer one would be cut there.
inline constexpr std::size_t kMaxPasswordLength = 16;
inline constexpr std::size_t kMaxHintLength = 32;

// The password rule of every password form: one or more bytes, each from 0x21
// to 0x7E (printable ASCII without the space). Returns the message that names
// the problem (EnterPassword for an empty password, PasswordInvalidCharacters
// for any other byte), or nothing when the password is acceptable. The length
// limit is left to the input fields.
std::optional<MessageId> ValidatePassword(std::string_view password);

// The password of a ZIP archive that another archiver may have written is
// taken as it was given there: one or more bytes up to this many, none of
// them NUL (EnterPassword, PasswordInvalidCharacters).
inline constexpr std::size_t kMaxArchivePasswordLength = 1024;
std::optional<MessageId> ValidateArchivePassword(std::string_view password);

// Which rule a password read for a job keeps: the password forms' (ours),
// or that of an archive to open.
enum class PasswordRule { Ours, AnyArchive };

// The rule for a new password typed twice: ValidatePassword's problem with the
// first text, otherwise PasswordsDoNotMatch when the two texts differ in any
// byte. The retyped text is only compared, never checked on its own.
std::optional<MessageId> ValidateNewPassword(std::string_view password, std::string_view retyped);

}  // namespace vaultpack
