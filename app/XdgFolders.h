#pragma once

#include <filesystem>

namespace vaultpack {

// The user's home folder: $HOME when that is an absolute path, otherwise the
// one in the user's account entry; empty when there is neither.
std::filesystem::path HomeFolder();

// Where the user's desktop data lives (desktop entries, MIME packages, icons):
// $XDG_DATA_HOME when that is an absolute path, otherwise ~/.local/share;
// empty when there is no home folder either.
std::filesystem::path DataHome();

// Where the user's desktop settings live (mimeapps.list): $XDG_CONFIG_HOME
// when that is an absolute path, otherwise ~/.config; empty when there is no
// home folder either.
std::filesystem::path ConfigHome();

}  // namespace vaultpack
