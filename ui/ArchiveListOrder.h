#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vaultpack {

// The columns of the archive builder's list.
enum class ArchiveColumn : int { Name = 0, Type = 1, Size = 2, Path = 3 };

// The most rows the builder's list holds.
inline constexpr int kMaxArchiveItems = 1000;

// A size in bytes in decimal with a "," before every group of three digits
// from the right: 1234567 as "1,234,567"; 999 and 0 stay as they are.
std::string SizeText(std::uint64_t bytes);

// The Path column's text for a row's archive folder: its levels separated
// by "/", as paths read on this system. Only the display changes; the row
// keeps the folder as the archive stores it.
std::string PathColumnText(std::string_view archiveFolder);

// How two rows' texts of one column compare: below zero when `a` comes
// first. Both are compared in lower case, byte for byte as unsigned
// characters; in the Size column a shorter text is the smaller number.
int CompareColumnTexts(ArchiveColumn column, std::string_view a, std::string_view b);

// The sort state of the list's header: clicking the column sorted last
// inverts the direction, clicking another column sorts it ascending. The
// state outlives additions, which only hide the header's arrow.
class ArchiveListOrder {
public:
    void Click(ArchiveColumn column);

    bool Sorted() const { return column_ >= 0; }
    ArchiveColumn Column() const { return static_cast<ArchiveColumn>(column_); }
    bool Ascending() const { return ascending_; }

private:
    int column_ = -1;
    bool ascending_ = true;
};

}  // namespace vaultpack
