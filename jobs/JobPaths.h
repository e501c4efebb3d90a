#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace vaultpack {

// The first path the record gives, or else what `ask` gets from the user
// (nothing when the user cancels).
std::optional<std::filesystem::path> GivenOrAsked(const std::vector<std::filesystem::path>& given,
                                                  const std::function<std::optional<std::filesystem::path>()>& ask);

// Whether anything stands at the path: a file, a folder, or a link (even a
// dangling one, which writing there would replace).
bool PathExists(const std::filesystem::path& path);

}  // namespace vaultpack
