#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "zip/EntryPath.h"

namespace vaultpack {

// Why an entry name is refused, in English, for the failed-entry message.
// With no problem in the name itself, it names no file (".").
std::string StoredNameProblemText(StoredNameProblem problem);

// Makes sure `folder` exists as a real folder at or below `destination`:
// creates `destination` when it is missing, then every folder from there down
// to `folder`. A folder on the way that is a symbolic link is refused rather
// than followed, so nothing is ever created or written outside destination
// through a link; so is a file standing where a folder belongs. Returns the
// reason in English when it fails, nothing when the folder is there.
std::optional<std::string> CreateFoldersBelow(const std::filesystem::path& destination,
                                              const std::filesystem::path& folder);

}  // namespace vaultpack
