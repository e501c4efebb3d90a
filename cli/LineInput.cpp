#include "cli/LineInput.h"

#include <cerrno>

#include <unistd.h>

#include "cli/InterruptSignal.h"

namespace vaultpack {

LineInput ReadLineFrom(int fd, std::size_t limit) {
    LineInput input;
    for (;;) {
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
