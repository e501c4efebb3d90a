#pragma once

#include <string_view>

namespace vaultpack {

// True when `name` can stand as one file name in a folder: not empty, not "."
// or "..", and without a "/" or a zero byte. Every place that turns a stored
// name into a file on disk, or writes one, asks this.
bool IsUsableFileName(std::string_view name);

// The text after the last "/" (the whole text when there is none).
std::string_view LastComponent(std::string_view path);

}  // namespace vaultpack
