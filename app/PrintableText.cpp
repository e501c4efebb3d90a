#include "app/PrintableText.h"

namespace vaultpack {
namespace {

struct Character {
    std::size_t length = 1;
    char32_t codePoint = 0;
};

// The character at the start of text. A byte that does not start a complete
// UTF-8 sequence stands for itself, one byte long.
Character CharacterAt(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    char32_t codePoint = lead;
    if (lead >= 0xF0 && lead < 0xF8) {
        length = 4;
        codePoint = lead & 0x07;
    } else if (lead >= 0xE0) {
        length = lead < 0xF0 ? 3 : 1;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
    }
    if (length == 1 || text.size() < length) {
        return {1, lead};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return {1, lead};
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return {length, codePoint};
}

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::string PrintableText(std::string_view text, bool keepLineFeeds) {
    std::string printable;
    printable.reserve(text.size());
    while (!text.empty()) {
        const Character character = CharacterAt(text);
        const char32_t c = character.codePoint;
        // U+0080 to U+009F, and single bytes 0x80 to 0x9F, which some terminals read as C1 controls.
        const bool control = c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
        if (control && !(keepLineFeeds && c == '\n')) {
            printable.push_back('?');
        } else {
            printable.append(text.substr(0, character.length));
        }
        text.remove_prefix(character.length);
    }
    return printable;
}

std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    while (!text.empty()) {
        const Character character = CharacterAt(text);
        width += IsWide(character.codePoint) ? 2 : 1;
        text.remove_prefix(character.length);
    }
    return width;
}

std::string_view FitToColumns(std::string_view text, std::size_t columns) {
    std::size_t used = 0;
    std::size_t width = 0;
    while (used < text.size()) {
        const Character character = CharacterAt(text.substr(used));
        const std::size_t characterWidth = IsWide(character.codePoint) ? 2 : 1;
        if (width + characterWidth > columns) {
            break;
        }
        width += characterWidth;
        used += character.length;
    }
    return text.substr(0, used);
}

}  // namespace vaultpack
