#pragma once

#include <cstddef>
#include <memory>

#include "cli/Terminal.h"

namespace vaultpack {

// The terminal the user started vaultpack-cli from.
class TtyTerminal final : public Terminal {
public:
    // The controlling terminal (/dev/tty), so that questions reach the user
    // even when standard input carries a password; failing that, standard
    // input when it is a terminal (prompts then go to standard error).
    // Nothing when there is no terminal at all.
    static std::unique_ptr<TtyTerminal> Open();

    ~TtyTerminal() override;
    TtyTerminal(const TtyTerminal&) = delete;
    TtyTerminal& operator=(const TtyTerminal&) = delete;

    void Write(std::string_view text) override;
    // Without echo the terminal's settings are changed only while the line is
    // read, and put back even when a second Ctrl-C ends the process. Echo is
    // off before the prompt shows, so that nothing typed after it is seen.
    std::optional<std::string> ReadLine(std::string_view prompt, bool echo) override;

private:
    TtyTerminal(int readFd, int writeFd, bool ownsFd) : readFd_(readFd), writeFd_(writeFd), ownsFd_(ownsFd) {}

    int readFd_;
    int writeFd_;
    bool ownsFd_;
};

// The width of the terminal on `fd` in columns; 80 when it cannot be told.
std::size_t TerminalColumns(int fd);

}  // namespace vaultpack
