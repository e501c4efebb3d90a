#include "app/BuildDateTime.h"

// The only file that reads the build moment, so that only it differs from one
// build to the next. It is compiled with -Wno-date-time (see CMakeLists.txt):
// distribution flags often add -Wdate-time, which warns on exactly this use.

namespace vaultpack {

std::string_view BuildDate() { return __DATE__; }
std::string_view BuildTime() { return __TIME__; }

}  // namespace vaultpack
