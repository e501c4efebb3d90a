#include "ui/ArchiveListOrder.h"

#include <algorithm>

namespace vaultpack {

std::string SizeText(std::uint64_t bytes) {
    const std::string digits = std::to_string(bytes);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text += ',';
        }
        text += digits[i];
    }
    return text;
}

std::string PathColumnText(std::string_view archiveFolder) {
    // Names holding a backslash are never added, so every one is a separator.
    std::string text(archiveFolder);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

int CompareColumnTexts(ArchiveColumn column, std::string_view a, std::string_view b) {
    if (column == ArchiveColumn::Size && a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    const auto lower = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return static_cast<unsigned char>(byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte);
    };
    const auto [endA, endB] =
        std::mismatch(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return lower(x) == lower(y); });
    if (endA == a.end() || endB == b.end()) {
        return (endA == a.end() ? 0 : 1) - (endB == b.end() ? 0 : 1);
    }
    return lower(*endA) < lower(*endB) ? -1 : 1;
}

void ArchiveListOrder::Click(ArchiveColumn column) {
    const int clicked = static_cast<int>(column);
    ascending_ = clicked == column_ ? !ascending_ : true;
    column_ = clicked;
}

}  // namespace vaultpack
