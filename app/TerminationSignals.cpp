#include "app/TerminationSignals.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "files/TemporaryFileRegistry.h"

namespace vaultpack {
namespace {

// Everything the handlers touch is lock-free atomic or written before the
// atomic that publishes it, so the handlers stay async-signal-safe.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

std::atomic<bool> interrupted{false};
// The pipe that the first Ctrl-C writes a byte into: [0] is read, [1] written.
int wakePipe[2] = {-1, -1};
std::atomic<int> restoreFd{-1};
termios restoreSettings{};
// Set only by the command-line tool, before its handlers are installed.
const char* interruptNotice = nullptr;
int secondInterruptExit = 128 + SIGINT;

void Write(int fd, const char* text) {
    [[maybe_unused]] const auto written = ::write(fd, text, std::strlen(text));
}

void OnCancellingInterrupt(int) {
    if (!interrupted.exchange(true)) {
        const int savedErrno = errno;  // the interrupted code reads it after a failed call
        Write(wakePipe[1], "\1");
        Write(STDERR_FILENO, interruptNotice);
        errno = savedErrno;
        return;
    }
    EndProgramNow(secondInterruptExit);
}

// Ends the process with the status a shell gives a process that the signal ended.
void OnTermination(int signal) { EndProgramNow(128 + signal); }

void Install(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a read from the terminal returns EINTR
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallTerminationHandlers() {
    Install(SIGINT, OnTermination);
    Install(SIGTERM, OnTermination);
    Install(SIGHUP, OnTermination);
}

void InstallTerminationHandlersWithCancellingInterrupt(const char* notice, int secondInterruptStatus) {
    if (wakePipe[0] < 0 && ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakePipe[0] = wakePipe[1] = -1;
    }
    interruptNotice = notice;
    secondInterruptExit = secondInterruptStatus;
    InstallTerminationHandlers();
    Install(SIGINT, OnCancellingInterrupt);
}

void EndProgramNow(int status) {
    const int fd = restoreFd.load();
    if (fd >= 0) {
        ::tcsetattr(fd, TCSANOW, &restoreSettings);
    }
    if (interruptNotice != nullptr) {
        Write(STDERR_FILENO, "\n");  // ends the terminal's line after a "^C"
    }
    RemoveRegisteredFiles();
    ::_exit(status);
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
