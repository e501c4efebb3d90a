#pragma once

#include <string_view>

namespace vaultpack {

// The date ("Mar 20 2007") and time ("15:54:05") this program was compiled,
// as __DATE__ and __TIME__ give them. With SOURCE_DATE_EPOCH set the compiler
// uses that moment instead, so a rebuild from the same sources is identical.
std::string_view BuildDate();
std::string_view BuildTime();

}  // namespace vaultpack
