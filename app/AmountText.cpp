#include "app/AmountText.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace vaultpack {

namespace {

std::string Number(std::uint64_t value) {
    return std::to_string(value);
}

}  // namespace

std::string ByteSizeText(const MessageCatalogue& catalogue, std::uint64_t bytes) {
    static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1000) {
        return catalogue.Format(MessageId::SizeInBytes, Number(bytes));
    }
    double value = static_cast<double>(bytes) / 1000;
    std::size_t unit = 0;
    // 999.96 would round up to "1000.0": such a value goes to the next unit.
    while (value >= 999.95 && unit + 1 < std::size(kUnits)) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string DurationText(const MessageCatalogue& catalogue, std::uint64_t seconds) {
    if (seconds < 60) {
        return catalogue.Format(MessageId::DurationSeconds, Number(seconds));
    }
    if (seconds < 3600) {
        return catalogue.Format(MessageId::DurationMinutesSeconds, Number(seconds / 60), Number(seconds % 60));
    }
    return catalogue.Format(MessageId::DurationHoursMinutes, Number(seconds / 3600), Number(seconds % 3600 / 60));
}

std::string ListSummaryText(const MessageCatalogue& catalogue, std::uint64_t count, std::uint64_t bytes) {
    const std::string size = ByteSizeText(catalogue, bytes);
    return count == 1 ? catalogue.Format(MessageId::ListOneItem, size)
                      : catalogue.Format(MessageId::ListItems, Number(count), size);
}

namespace {

std::string JoinParts(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) {
        text += text.empty() ? part : " \u00B7 " + part;
    }
    return text;
}

}  // namespace

std::string ProgressFiguresText(const MessageCatalogue& catalogue, const ProgressFigures& figures) {
    std::vector<std::string> known;
    if (figures.fileTotal > 1) {
        known.push_back(catalogue.Format(MessageId::ProgressFilesDone, Number(figures.filesDone),
                                         Number(figures.fileTotal)));
    }
    if (figures.percent) {
        known.push_back(catalogue.Format(MessageId::ProgressPercent, std::to_string(*figures.percent)));
    }
    std::vector<std::string> estimated;
    if (figures.rate) {
        const auto perSecond = static_cast<std::uint64_t>(std::llround(*figures.rate));
        estimated.push_back(figures.rateInBytes
                                ? catalogue.Format(MessageId::ProgressBytesPerSecond, ByteSizeText(catalogue, perSecond))
                                : catalogue.Format(MessageId::ProgressFilesPerSecond, Number(perSecond)));
    }
    if (figures.secondsLeft) {
        const auto seconds = static_cast<std::uint64_t>(std::ceil(*figures.secondsLeft));
        estimated.push_back(catalogue.Format(MessageId::ProgressTimeLeft, DurationText(catalogue, seconds)));
    }
    const std::string first = JoinParts(known);
    const std::string second = JoinParts(estimated);
    return first.empty() || second.empty() ? first + second : first + "\n" + second;
}

}  // namespace vaultpack
