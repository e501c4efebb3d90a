#include "tests/support/BoundedWait.h"

#include <cstdio>
#include <cstdlib>

namespace vaultpack::test {

void GiveUpWaiting(const std::string& what) {
    std::fprintf(stderr, "gave up after %llds waiting for: %s\n", static_cast<long long>(kWaitLimit.count()),
                 what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace vaultpack::test
