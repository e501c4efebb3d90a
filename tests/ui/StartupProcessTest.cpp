// The built desktop program started with the arguments that end without a
// person: it prints the version or nothing, exits 0, and opens no window.

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vaultpack {
namespace {

using Arguments = std::vector<std::string>;

struct ProgramRun {
    bool timedOut = false;
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string output, errors;
};

// Runs the program with stdin on /dev/null and stdout and stderr on pipes,
// on the offscreen platform so that a window it wrongly opens cannot show,
// only keep it running; or, without `display`, with no display and no
// platform named at all. A run that outlasts 10 s is killed.
ProgramRun RunProgram(Arguments arguments, bool display = true) {
    const auto limit = std::chrono::seconds(10);
    int output[2], errors[2];
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(errors, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipes";
        return {};
    }
    arguments.insert(arguments.begin(), VAULTPACK_PATH);
    std::vector<char*> argv;
    for (std::string& word : arguments) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int nothing = ::open("/dev/null", O_RDONLY);
        if (nothing < 0 || ::dup2(nothing, 0) < 0 || ::dup2(output[1], 1) < 0 || ::dup2(errors[1], 2) < 0) {
            ::_exit(126);
        }
        if (display) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        } else {
            ::unsetenv("QT_QPA_PLATFORM");
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
        }
        ::setenv("LANG", "C.UTF-8", 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(output[1]);
    ::close(errors[1]);

    ProgramRun run;
    // Readable once the process has ended (glibc 2.36 declares pidfd_open without C linkage).
    const int exited = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    pollfd watched[] = {{output[0], POLLIN, 0}, {errors[0], POLLIN, 0}, {exited, POLLIN, 0}};
    std::string* const texts[] = {&run.output, &run.errors};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // Until both pipes are at their end and the process has ended.
    while (watched[0].fd >= 0 || watched[1].fd >= 0 || watched[2].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(watched, 3, static_cast<int>(left.count())) == 0) {
            run.timedOut = true;
            ::kill(child, SIGKILL);
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (watched[i].revents != 0) {
                char buffer[4096];
                const ssize_t count = ::read(watched[i].fd, buffer, sizeof buffer);
                if (count > 0) {
                    texts[i]->append(buffer, static_cast<std::size_t>(count));
                } else {
                    watched[i].fd = -1;  // poll skips it from now on
                }
            }
        }
        if (watched[2].revents != 0) {
            watched[2].fd = -1;
        }
    }
    ::close(output[0]);
    ::close(errors[0]);
    ::close(exited);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

TEST(StartupProcess, RunsThatEndWithoutAPerson) {
    const std::regex version(R"(1\.05\.\d{4}\.\d{4}\.\d{4}\n)");
    struct Row {
        Arguments arguments;
        bool printsVersion;
    };
    const Row rows[] = {
        {{"-v"}, true},
        {{"-verbose"}, true},
        {{"-"}, true},
        {{""}, true},
        {{"-v", "x"}, false},
        {{"-u", "x"}, false},
        {{"-D", "a.ezc"}, false},
        {{"x", "-d"}, false},
    };
    for (const Row& row : rows) {
        std::string shown;
        for (const std::string& argument : row.arguments) {
            shown += " \"" + argument + "\"";
        }
        const ProgramRun run = RunProgram(row.arguments);
        ASSERT_FALSE(run.timedOut) << "still running after 10 s:" << shown;
        EXPECT_EQ(run.status, 0) << shown;
        if (row.printsVersion) {
            EXPECT_TRUE(std::regex_match(run.output, version)) << shown << " printed \"" << run.output << "\"";
        } else {
            EXPECT_EQ(run.output, "") << shown;
        }
        EXPECT_EQ(run.errors, "") << shown;
    }
}

// Without a display, a start that needs a window ends at once with status 1
// and says why; one that prints to its output still does.
TEST(StartupProcess, WithoutADisplayWindowsAreRefusedWithTheReason) {
    const std::string reason = "Vaultpack cannot show its windows: there is no display";
    struct Row {
        Arguments arguments;
        int status;
    };
    const Row rows[] = {{{}, 1}, {{"-d", "a.ezc"}, 1}, {{"-d"}, 1}, {{"-v"}, 0}, {{"-v", "x"}, 0}};
    for (const Row& row : rows) {
        const std::string shown = row.arguments.empty() ? "no arguments" : row.arguments.front();
        const ProgramRun run = RunProgram(row.arguments, false);
        ASSERT_FALSE(run.timedOut) << "still running after 10 s: " << shown;
        EXPECT_EQ(run.status, row.status) << shown << ": " << run.errors;
        EXPECT_EQ(run.errors.find(reason) != std::string::npos, row.status != 0) << shown << ": " << run.errors;
    }
}

}  // namespace
}  // namespace vaultpack
