#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

namespace vaultpack::test {

// What one run of vaultpack-cli left: its exit status (128 + the signal when
// a signal ended it) and what it printed.
struct CliRun {
    int status = -1;
    std::string output;
    std::string errors;
};

// Starts the built vaultpack-cli in `folder` as the leader of a new session,
// so that it has no terminal at all, with English texts, Tokyo's time zone
// and `input` as its standard input. Its output goes to files in `capture`, a folder of the
// caller's that WaitForCli reads.
pid_t StartCli(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
               const std::filesystem::path& capture, const std::string& input = {});
CliRun WaitForCli(pid_t process, const std::filesystem::path& capture);

// The whole content of a file, empty when it cannot be read.
std::string ReadText(const std::filesystem::path& path);

// StartCli and WaitForCli in one.
CliRun RunCli(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
              const std::string& input = {});

// vaultpack-cli with a pseudo-terminal as its controlling terminal and as
// standard input, output and error: a person at a terminal, for the tests.
class CliOnTerminal {
public:
    CliOnTerminal(const std::vector<std::string>& arguments, const std::filesystem::path& folder);
    ~CliOnTerminal();

    // Waits (at most ten seconds) until the program has written `text` since
    // the last expected text; false when it did not.
    bool Expect(const std::string& text);
    void Type(const std::string& text);
    // The exit status once the program has ended.
    int Wait();
    // Everything the terminal showed.
    const std::string& Transcript() const { return transcript_; }

private:
    pid_t process_ = -1;
    int terminal_ = -1;
    std::string transcript_;
    std::size_t expected_ = 0;
};

// Every file below root by relative path, with its content.
std::map<std::string, std::string> FileContents(const std::filesystem::path& root);

}  // namespace vaultpack::test
