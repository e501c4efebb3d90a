#include "cli/InterruptSignal.h"

#include <cerrno>
#include <csignal>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

#include "cli/ExitStatus.h"
#include "files/TemporaryFileRegistry.h"

namespace vaultpack {
namespace {

// Everything the handler touches is lock-free atomic or written before the
// atomic that publishes it, so the handler stays async-signal-safe.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

std::atomic<bool> interrupted{false};
// The pipe that the first Ctrl-C writes a byte into: [0] is read, [1] written.
int wakePipe[2] = {-1, -1};
std::atomic<int> restoreFd{-1};
termios restoreSettings{};

void Write(int fd, std::string_view text) {
    [[maybe_unused]] const auto written = ::write(fd, text.data(), text.size());
}

// Ends the process at once, leaving the terminal and the folders as they were.
[[noreturn]] void EndNow(int status) {
    const int fd = restoreFd.load();
    if (fd >= 0) {
        ::tcsetattr(fd, TCSANOW, &restoreSettings);
    }
    RemoveRegisteredFiles();
    Write(STDERR_FILENO, "\n");
    ::_exit(status);
}

void OnInterrupt(int) {
    if (!interrupted.exchange(true)) {
        const int savedErrno = errno;  // the interrupted code reads it after a failed call
        Write(wakePipe[1], "\1");
        Write(STDERR_FILENO, "\nvaultpack-cli: stopping; Ctrl-C again ends at once\n");
        errno = savedErrno;
        return;
    }
    EndNow(static_cast<int>(ExitStatus::Cancelled));
}

// SIGTERM and SIGHUP ask the process to end now, with the status a shell
// gives a process that such a signal ended.
void OnTermination(int signal) { EndNow(128 + signal); }

}  // namespace

void InstallInterruptHandler() {
    if (wakePipe[0] < 0 && ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakePipe[0] = wakePipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a read from the terminal returns EINTR
    ::sigaction(SIGINT, &action, nullptr);
    action.sa_handler = OnTermination;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

const std::atomic<bool>& InterruptFlag() { return interrupted; }

int InterruptWakeDescriptor() { return wakePipe[0]; }

void RememberTerminalSettings(int fd, const termios& settings) {
    restoreFd.store(-1);
    restoreSettings = settings;
    restoreFd.store(fd);
}

void ForgetTerminalSettings() { restoreFd.store(-1); }

}  // namespace vaultpack
