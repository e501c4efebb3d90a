#pragma once

#include <filesystem>
#include <string_view>

#include "jobs/MessageLine.h"

namespace vaultpack {

// The status lines of the jobs: Zipping "…source", Encrypting'…source',
// Decrypting "container" (the full path) and Unzipping "…entry". A long source
// keeps its last 30 characters after "...", an entry name its last 40; a
// character is one UTF-8 code point, so a name is never cut inside a
// multi-byte character.
MessageLine ZippingStatus(const std::filesystem::path& source);
MessageLine EncryptingStatus(const std::filesystem::path& source);
MessageLine DecryptingStatus(const std::filesystem::path& container);
MessageLine UnzippingStatus(std::string_view entryName);

}  // namespace vaultpack
