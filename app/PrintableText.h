#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vaultpack {

// The text with every control character replaced by "?": the bytes below 0x20
// (except the line feed when keepLineFeeds is set), 0x7F, U+0080 to U+009F,
// and single bytes 0x80 to 0x9F outside a UTF-8 sequence. Names and hints come
// from archives and containers that anyone may have made; printed as they are,
// they could move the cursor or send escape sequences to the terminal, or
// break the one-line-per-entry output.
std::string PrintableText(std::string_view text, bool keepLineFeeds);

// The number of terminal columns the UTF-8 text takes: one per character, two
// for the wide East Asian ones.
std::size_t DisplayWidth(std::string_view text);

// The longest start of the UTF-8 text that fits `columns`, cut between characters.
std::string_view FitToColumns(std::string_view text, std::size_t columns);

}  // namespace vaultpack
