#include "tests/support/ResourceLimits.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace vaultpack::test {

int ExitStatusInChild(const std::function<int()>& body) {
    constexpr unsigned kChildSeconds = 60;
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(kChildSeconds);  // a child that hangs ends, and the test says so below
        std::_Exit(body());
    }
    int status = -1;
    if (::waitpid(child, &status, 0) != child) {
        return -1;
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
        std::fprintf(stderr, "the child process did not end within %u s\n", kChildSeconds);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool LimitThreadsOfThisProcess(rlim_t threads) {
    if (::geteuid() == 0) {
        // A user id no account has, different in every child.
        const auto user = static_cast<uid_t>(200000 + ::getpid());
        if (::setgid(user) != 0 || ::setuid(user) != 0) {
            return false;
        }
    }
    const rlimit limit{threads, threads};
    return ::setrlimit(RLIMIT_NPROC, &limit) == 0;
}

void OpenToEveryone(const std::filesystem::path& folder) {
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_directory()) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
        }
    }
}

namespace {

// A "Vm..." line of /proc/self/status, in KiB.
long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

}  // namespace

long ResidentMemoryKiB() { return StatusKiB("VmRSS"); }

long PeakMemoryKiB() { return StatusKiB("VmHWM"); }

bool ResetPeakMemory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

ScopedFileSizeLimit::ScopedFileSizeLimit(rlim_t bytes) : savedHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    const rlimit limit{bytes, saved_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
}

bool UnderSanitizer() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

}  // namespace vaultpack::test
