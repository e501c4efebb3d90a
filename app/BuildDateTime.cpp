#include "app/BuildDateTime.h"

// The only file that reads the build moment, so that only it changes from one
// build to the next. Distribution flags often add -Wdate-time, which warns on
// exactly this use; the stamp is wanted here and reproducible through
// SOURCE_DATE_EPOCH.
#pragma GCC diagnostic ignored "-Wdate-time"

namespace vaultpack {

std::string_view BuildDate() { return __DATE__; }
std::string_view BuildTime() { return __TIME__; }

}  // namespace vaultpack
