#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/MessageCatalogue.h"

namespace vaultpack {

// A size as people read it: "999 bytes" below 1000 bytes, otherwise one
// decimal in the largest decimal unit that keeps it below 1000 ("1.0 kB",
// "3.4 MB", "1.5 GB"), as the desktop's file managers show sizes.
std::string ByteSizeText(const MessageCatalogue& catalogue, std::uint64_t bytes);

// A duration in whole seconds: "45 s", "3 min 20 s", "2 h 5 min".
std::string DurationText(const MessageCatalogue& catalogue, std::uint64_t seconds);

// The archive builder's status line: "1 item, 3 bytes", "12 items, 3.4 MB".
std::string ListSummaryText(const MessageCatalogue& catalogue, std::uint64_t count, std::uint64_t bytes);

// What a progress window shows under its bar. Unknown parts are left out.
struct ProgressFigures {
    std::uint64_t filesDone = 0;
    std::uint64_t fileTotal = 0;  // the count is shown for more than one file
    std::optional<int> percent;
    // Per second: bytes when rateInBytes, otherwise files.
    std::optional<double> rate;
    bool rateInBytes = false;
    std::optional<double> secondsLeft;
};

// The parts of figures joined by " · ", what is known on one line and what is
// estimated on the next: "3 of 12 files · 25%\n14.2 MB/s · 1 min 20 s left".
std::string ProgressFiguresText(const MessageCatalogue& catalogue, const ProgressFigures& figures);

}  // namespace vaultpack
