#pragma once

#include <string>
#include <string_view>

namespace vaultpack {

// Case folding of the letters A to Z only, whatever the locale: extensions,
// month names, locale names and typed answers compare this way.
std::string AsciiLowercase(std::string_view text);
char AsciiLower(char c);

// Whether a and b are the same once folded so.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace vaultpack
