#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "jobs/MessageLine.h"

namespace vaultpack {

// The first path the record gives, or else what `ask` gets from the user
// (nothing when the user cancels).
std::optional<std::filesystem::path> GivenOrAsked(const std::vector<std::filesystem::path>& given,
                                                  const std::function<std::optional<std::filesystem::path>()>& ask);

// Whether anything stands at the path: a file, a folder, or a link (even a
// dangling one, which writing there would replace).
bool PathExists(const std::filesystem::path& path);

// Why a written file must not be put at `output`: something stands there that
// is not a regular file, nor a link to one (a FIFO, a device, a folder).
// Nothing when the path is free or holds a file that may be replaced.
std::optional<MessageLine> OutputRefusal(const std::filesystem::path& output);

}  // namespace vaultpack
