#include "app/VersionText.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "app/BuildDateTime.h"
#include "files/AsciiCase.h"

namespace vaultpack {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {
    "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec",
};

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// count characters of text from position, or count zeros when text is too
// short there or they are not all digits.
std::string DigitsAt(std::string_view text, std::size_t position, std::size_t count) {
    if (position > text.size() || text.size() - position < count) {
        return std::string(count, '0');
    }
    const std::string_view field = text.substr(position, count);
    if (!std::all_of(field.begin(), field.end(), IsDigit)) {
        return std::string(count, '0');
    }
    return std::string(field);
}

// The two-digit number of the month abbreviation that opens the date, "00"
// for an unknown one.
std::string MonthNumber(std::string_view buildDate) {
    const std::string name = AsciiLowercase(buildDate.substr(0, 3));
    const auto month = std::find(kMonths.begin(), kMonths.end(), name);
    if (month == kMonths.end()) {
        return "00";
    }
    const auto number = month - kMonths.begin() + 1;
    return {static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10)};
}

}  // namespace

std::string BuildStamp(std::string_view buildDate, std::string_view buildTime) {
    const std::string year =
        DigitsAt(buildDate, buildDate.size() >= 4 ? buildDate.size() - 4 : buildDate.size(), 4);
    // __DATE__ pads a day below 10 with a space: " 5" is the fifth.
    std::string paddedDate(buildDate);
    std::replace(paddedDate.begin() + std::min<std::size_t>(4, paddedDate.size()),
                 paddedDate.begin() + std::min<std::size_t>(6, paddedDate.size()), ' ', '0');
    const std::string day = DigitsAt(paddedDate, 4, 2);
    const std::string hour = DigitsAt(buildTime, 0, 2);
    const std::string minute = DigitsAt(buildTime, 3, 2);
    return year + "." + MonthNumber(buildDate) + day + "." + hour + minute;
}

void VersionText::AppendBuildStamp(std::string_view buildDate, std::string_view buildTime) {
    text_ += BuildStamp(buildDate, buildTime);
}

void VersionText::AppendBuildStamp() { AppendBuildStamp(BuildDate(), BuildTime()); }

std::string VersionText::ShortVersion() const {
    const std::size_t lineFeed = text_.find('\n');
    return lineFeed == std::string::npos ? std::string() : text_.substr(0, lineFeed);
}

std::string VersionText::DottedVersion() const {
    std::string dotted = text_;
    std::replace(dotted.begin(), dotted.end(), '\n', '.');
    return dotted;
}

VersionText& ProgramVersionText() {
    static VersionText text;
    return text;
}

}  // namespace vaultpack
