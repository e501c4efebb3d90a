#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vaultpack {

// Where vaultpack-cli asks its questions: the user's terminal, or a script in
// the tests.
class Terminal {
public:
    virtual ~Terminal() = default;

    virtual void Write(std::string_view text) = 0;
    // Shows the prompt and reads one typed line without its line end, echoed
    // or (for passwords) not. Nothing at the end of input or when Ctrl-C
    // interrupted the reading.
    virtual std::optional<std::string> ReadLine(std::string_view prompt, bool echo) = 0;
};

}  // namespace vaultpack
