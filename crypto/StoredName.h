#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vaultpack {

// A stored name made safe to use as a file name in the container's folder:
// reduced to its last component ('/' and '\' both separate), and nothing when
// what is left is empty, "." or "..".
std::optional<std::string> SafeStoredName(std::string_view storedName);

// True when the name's extension (after its last '.') is "zip" in any case.
bool HasZipExtension(std::string_view name);

}  // namespace vaultpack
