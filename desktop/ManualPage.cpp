#include "desktop/ManualPage.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace vaultpack {

namespace {

// One line of text as roff prints it: a backslash and a minus sign written
// as such, and a leading dot or quote not taken for a request.
std::string RoffLine(std::string_view line) {
    std::string escaped = line.starts_with('.') || line.starts_with('\'') ? "\\&" : "";
    for (const char character : line) {
        if (character == '\\') {
            escaped += "\\e";
        } else if (character == '-') {
            escaped += "\\-";
        } else {
            escaped += character;
        }
    }
    return escaped + "\n";
}

// Lines printed as they stand, without filling or adjusting.
std::string Verbatim(std::string_view text) {
    std::string roff = ".nf\n";
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        roff += RoffLine(text.substr(start, end - start));
        start = end + 1;
    }
    return roff + ".fi\n";
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return upper;
}

}  // namespace

std::string ManualPageFromHelp(const ManualPageSource& source) {
    constexpr std::string_view kUsage = "Usage:\n";
    std::string_view help = source.helpText;
    if (help.starts_with(kUsage)) {
        help.remove_prefix(kUsage.size());
    }
    // The usage block ends at the first empty line.
    const std::size_t blockEnd = std::min(help.find("\n\n"), help.size());
    std::string synopsis;
    for (std::size_t start = 0; start < blockEnd;) {
        const std::size_t end = std::min(help.find('\n', start), blockEnd);
        std::string_view line = help.substr(start, end - start);
        if (line.starts_with("  ")) {
            line.remove_prefix(2);  // the help's indent
        }
        synopsis += std::string(line) + "\n";
        start = end + 1;
    }
    const std::string_view description = blockEnd < help.size() ? help.substr(blockEnd + 2) : std::string_view{};
    return ".TH " + Upper(source.program) + " 1 \"\" \"Vaultpack " + std::string(source.version) +
           "\" \"User Commands\"\n"
           ".SH NAME\n" +
           RoffLine(std::string(source.program) + " - " + std::string(source.summary)) + ".SH SYNOPSIS\n" +
           Verbatim(synopsis) + ".SH DESCRIPTION\n" + Verbatim(description) +
           ".SH SEE ALSO\n"
           ".BR vaultpack (1)\n";
}

}  // namespace vaultpack
