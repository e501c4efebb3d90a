#pragma once

#include <string>
#include <string_view>

namespace vaultpack {

// A manual page (roff, section 1) made from a program's help text, so that
// the page says what --help says: the help's "Usage:" lines become the
// synopsis and the rest the description, both kept as laid out.
struct ManualPageSource {
    std::string_view program;  // "vaultpack-cli"
    std::string_view summary;  // the NAME line's text after the dash
    std::string_view version;  // "1.05"
    std::string_view helpText;
};

std::string ManualPageFromHelp(const ManualPageSource& source);

}  // namespace vaultpack
