#pragma once

#include <filesystem>

namespace vaultpack {

// The folder "Vaultpack Drive" in the user's home folder: the folder chooser
// offers it for Add Folders and the uninstall removes it. The home folder is
// $HOME when that is an absolute path, otherwise the one in the user's account
// entry; empty when there is neither.
std::filesystem::path DefaultInstallFolder();

// DefaultInstallFolder, created when it is missing. Only that one folder is
// created, never the home folder above it. Empty when there is no home folder,
// when something other than a folder stands at that path, or when it cannot be
// created.
std::filesystem::path EnsureDefaultInstallFolder();

}  // namespace vaultpack
