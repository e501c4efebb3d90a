#include "tests/cli/CliProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/TempDir.h"

namespace vaultpack::test {
namespace {

// In a forked child: runs the program in `folder` with English texts and
// Tokyo's time zone, in which any local-time slip shows in the times printed.
[[noreturn]] void ExecuteCli(const std::vector<std::string>& arguments, const std::filesystem::path& folder) {
    std::vector<std::string> words = {VAULTPACK_CLI_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    char language[] = "LANG=C";
    char zone[] = "TZ=Asia/Tokyo";
    char* environment[] = {language, zone, nullptr};
    if (::chdir(folder.c_str()) == 0) {
        ::execve(argv[0], argv.data(), environment);
    }
    ::_exit(127);
}

}  // namespace

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

pid_t StartCli(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
               const std::filesystem::path& capture, const std::string& input) {
    WriteFile(capture / "stdin", input);
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        ::setsid();
        const int in = ::open((capture / "stdin").c_str(), O_RDONLY);
        const int out = ::open((capture / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open((capture / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
            ::_exit(126);
        }
        ExecuteCli(arguments, folder);
    }
    return child;
}

CliRun WaitForCli(pid_t process, const std::filesystem::path& capture) {
    int status = 0;
    ::waitpid(process, &status, 0);
    CliRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.output = ReadText(capture / "stdout");
    run.errors = ReadText(capture / "stderr");
    return run;
}

CliRun RunCli(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
              const std::string& input) {
    TempDir capture;
    return WaitForCli(StartCli(arguments, folder, capture.Path(), input), capture.Path());
}

CliOnTerminal::CliOnTerminal(const std::vector<std::string>& arguments, const std::filesystem::path& folder) {
    process_ = ::forkpty(&terminal_, nullptr, nullptr, nullptr);
    if (process_ < 0) {
        throw std::runtime_error("forkpty failed");
    }
    if (process_ == 0) {
        ExecuteCli(arguments, folder);
    }
}

CliOnTerminal::~CliOnTerminal() {
    if (process_ > 0) {
        ::kill(process_, SIGKILL);
        Wait();
    }
    ::close(terminal_);
}

bool CliOnTerminal::Expect(const std::string& text) {
    for (int waited = 0; waited < 100; ++waited) {
        const std::size_t found = transcript_.find(text, expected_);
        if (found != std::string::npos) {
            expected_ = found + text.size();
            return true;
        }
        pollfd ready{terminal_, POLLIN, 0};
        char buffer[4096];
        if (::poll(&ready, 1, 100) == 1) {
            const ssize_t count = ::read(terminal_, buffer, sizeof buffer);
            if (count <= 0) {
                return false;  // the program has ended
            }
            transcript_.append(buffer, static_cast<std::size_t>(count));
        }
    }
    return false;
}

void CliOnTerminal::Type(const std::string& text) {
    if (::write(terminal_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        throw std::runtime_error("cannot type on the terminal");
    }
}

int CliOnTerminal::Wait() {
    Expect(std::string(1, '\0'));  // collect the rest of the output until the terminal closes
    int status = 0;
    ::waitpid(process_, &status, 0);
    process_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::map<std::string, std::string> FileContents(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[entry.path().lexically_relative(root).string()] = ReadText(entry.path());
        }
    }
    return files;
}

}  // namespace vaultpack::test
