#include "cli/TtyTerminal.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "app/TerminationSignals.h"
#include "cli/LineInput.h"

namespace vaultpack {

std::unique_ptr<TtyTerminal> TtyTerminal::Open() {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        return std::unique_ptr<TtyTerminal>(new TtyTerminal(fd, fd, true));
    }
    if (::isatty(STDIN_FILENO) == 1) {
        return std::unique_ptr<TtyTerminal>(new TtyTerminal(STDIN_FILENO, STDERR_FILENO, false));
    }
    return nullptr;
}

TtyTerminal::~TtyTerminal() {
    if (ownsFd_) {
        ::close(readFd_);
    }
}

void TtyTerminal::Write(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(writeFd_, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;  // a terminal that takes no output cannot be told more
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

std::optional<std::string> TtyTerminal::ReadLine(std::string_view prompt, bool echo) {
    termios original{};
    const bool hidden = !echo && ::tcgetattr(readFd_, &original) == 0;
    if (hidden) {
        termios silent = original;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        silent.c_lflag |= ECHONL;
        RememberTerminalSettings(readFd_, original);
        ::tcsetattr(readFd_, TCSAFLUSH, &silent);  // what was typed before the prompt is no answer
    }
    Write(prompt);

    // No length limit: a person is typing.
    LineInput input = ReadLineFrom(readFd_, std::string::npos);
    std::optional<std::string> line;
    if (input.end == LineInput::End::LineFeed) {
        line = std::move(input.line);
    }

    if (hidden) {
        ::tcsetattr(readFd_, TCSANOW, &original);
        ForgetTerminalSettings();
    }
    if (!line) {
        Write("\n");  // leave the prompt's line, which no Enter ended
    }
    return line;
}

std::size_t TerminalColumns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

}  // namespace vaultpack
