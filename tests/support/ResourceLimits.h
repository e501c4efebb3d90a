#pragma once

#include <filesystem>
#include <functional>

#include <sys/resource.h>

namespace vaultpack::test {

// Runs `body` in a forked child and returns the status it exits with; -1 when
// it did not exit by itself (a crash, an abort, an uncaught exception, or no
// end within a minute, which it names on stderr).
int ExitStatusInChild(const std::function<int()>& body);

// For a forked child only: lets this process run at most `threads` threads in
// all, itself included (RLIMIT_NPROC). The limit does not hold a privileged
// process, so one first becomes a user of its own that no other process
// shares; folders it writes to must be open to everyone (OpenToEveryone).
// False when the limit could not be set.
bool LimitThreadsOfThisProcess(rlim_t threads);

// Lets everyone create and remove files in `folder` and the folders below it,
// for a child that has become another user.
void OpenToEveryone(const std::filesystem::path& folder);

// This process's resident memory now, and its peak since ResetPeakMemory, in
// KiB; ResetPeakMemory is false where the system cannot reset the peak, which
// then still holds an earlier, higher one.
long ResidentMemoryKiB();
long PeakMemoryKiB();
bool ResetPeakMemory();

// While it lives, a write that would make a file larger than `bytes` fails
// with EFBIG instead of ending the process with SIGXFSZ.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*savedHandler_)(int);
};

// Whether this build runs under a sanitizer, whose shadow memory an address
// space limit (RLIMIT_AS) cannot accommodate.
bool UnderSanitizer();

}  // namespace vaultpack::test
