#pragma once

#include <cstddef>
#include <string>

namespace vaultpack {

// One line read from a file descriptor, and how the reading ended.
struct LineInput {
    enum class End {
        LineFeed,
        EndOfFile,    // the input ended first; `line` holds what came
        Limit,        // `limit` bytes came without a line feed
        Interrupted,  // Ctrl-C
        Failed,       // `error` holds errno
    };
    End end = End::LineFeed;
    std::string line;  // without the line feed
    int error = 0;
};

// Reads one line a byte at a time, so that nothing past its line feed is
// consumed: the rest of standard input stays for whoever reads on. A read
// that a signal interrupts is tried again, unless Ctrl-C set the cancel flag.
LineInput ReadLineFrom(int fd, std::size_t limit);

}  // namespace vaultpack
