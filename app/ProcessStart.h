#pragma once

#include <string>
#include <system_error>
#include <vector>

namespace vaultpack {

// Both start a program found on PATH (or named by its path) with the given
// arguments, argument 0 included, and with standard input, output and error
// on /dev/null; no shell reads the arguments.

// Starts it in a session of its own, without a terminal, and does not wait:
// it goes on after this process has ended.
std::error_code StartDetached(const std::vector<std::string>& arguments);

// Runs it to its end; the error says why it could not be started or that it
// did not end with status 0.
std::error_code RunToEnd(const std::vector<std::string>& arguments);

}  // namespace vaultpack
