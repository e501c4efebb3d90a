#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "jobs/MessageLine.h"

namespace vaultpack {

// How many trailing characters of a long path or entry name a status line keeps.
inline constexpr std::size_t kSourceStatusCharacters = 30;  // zipping and encrypting
inline constexpr std::size_t kEntryStatusCharacters = 40;   // unzipping

// The text itself when it has at most `keptCharacters` characters, otherwise
// "..." followed by its last `keptCharacters` characters. A character is one
// UTF-8 code point, so a name is never cut inside a multi-byte character;
// bytes that are not valid UTF-8 stay with the character before them.
std::string ShortenForStatus(std::string_view text, std::size_t keptCharacters);

// The status lines of the jobs: Zipping "…source", Encrypting'…source',
// Decrypting "container" (the full path) and Unzipping "…entry".
MessageLine ZippingStatus(const std::filesystem::path& source);
MessageLine EncryptingStatus(const std::filesystem::path& source);
MessageLine DecryptingStatus(const std::filesystem::path& container);
MessageLine UnzippingStatus(std::string_view entryName);

}  // namespace vaultpack
