#include "bench/ChildRuns.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace vaultpack::bench {

namespace {

ChildRun Wait(pid_t child, std::chrono::steady_clock::time_point started) {
    int status = 0;
    struct rusage usage {};
    ChildRun run;
    if (::wait4(child, &status, 0, &usage) == child) {
        run.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.peakKiB = usage.ru_maxrss;
    return run;
}

}  // namespace

ChildRun RunCommand(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    // The tools' own chatter would only slow the terminal down.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return {};
    }
    return Wait(child, started);
}

ChildRun RunInChild(const std::function<bool()>& work) {
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(work() ? 0 : 1);
    }
    if (child < 0) {
        return {};
    }
    return Wait(child, started);
}

void Keep(ChildRun& best, const ChildRun& run, const std::string& what) {
    if (!run.succeeded) {
        std::fprintf(stderr, "a run failed: %s\n", what.c_str());
        std::exit(1);
    }
    if (!best.succeeded || run.seconds < best.seconds) {
        best.seconds = run.seconds;
        best.cpuSeconds = run.cpuSeconds;
    }
    best.peakKiB = std::max(best.peakKiB, run.peakKiB);
    best.succeeded = true;
}

}  // namespace vaultpack::bench
