#include "cli/LineInput.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

#include "app/TerminationSignals.h"

namespace vaultpack {

namespace {

// Waits until `fd` has input (or ended) or Ctrl-C came; false for Ctrl-C.
// The wait includes the interrupt's wake descriptor, so an interrupt that
// lands just before the wait begins is not missed.
bool WaitForInput(int fd) {
    for (;;) {
        if (InterruptFlag().load()) {
            return false;
        }
        pollfd watched[2] = {{fd, POLLIN, 0}, {InterruptWakeDescriptor(), POLLIN, 0}};
        if (::poll(watched, 2, -1) >= 0 || errno != EINTR) {
            return !InterruptFlag().load();
        }
    }
}

}  // namespace

LineInput ReadLineFrom(int fd, std::size_t limit) {
    LineInput input;
    for (;;) {
        if (!WaitForInput(fd)) {
            input.end = LineInput::End::Interrupted;
            return input;
        }
        char c = 0;
        const ssize_t count = ::read(fd, &c, 1);
        if (count == 1) {
            if (c == '\n') {
                input.end = LineInput::End::LineFeed;
                return input;
            }
            input.line.push_back(c);
            if (input.line.size() >= limit) {
                input.end = LineInput::End::Limit;
                return input;
            }
        } else if (count == 0) {
            input.end = LineInput::End::EndOfFile;
            return input;
        } else if (errno != EINTR) {
            input.end = LineInput::End::Failed;
            input.error = errno;
            return input;
        } else if (InterruptFlag().load()) {
            input.end = LineInput::End::Interrupted;
            return input;
        }
    }
}

}  // namespace vaultpack
