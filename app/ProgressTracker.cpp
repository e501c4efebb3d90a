#include "app/ProgressTracker.h"

#include <algorithm>

namespace vaultpack {

void ProgressTracker::Start(double now) {
    amounts_ = {};
    SetRange(now, 0);
}

void ProgressTracker::SetRange(double now, std::uint32_t high) {
    high_ = high;
    position_ = 0;
    estimator_.Restart(now);
}

void ProgressTracker::SetPosition(double now, std::uint32_t position) {
    position_ = std::min(position, high_);
    if (high_ > 0) {
        estimator_.Record(now, static_cast<double>(position_) / high_);
    }
}

ProgressFigures ProgressTracker::Figures() const {
    ProgressFigures figures;
    figures.filesDone = amounts_.done;
    figures.fileTotal = amounts_.total;
    if (high_ == 0) {
        return figures;
    }
    figures.percent = static_cast<int>(static_cast<std::uint64_t>(position_) * 100 / high_);
    figures.secondsLeft = estimator_.SecondsLeft();
    // The rate in what the whole bar stands for: bytes, or else the files.
    const std::uint64_t whole = amounts_.rangeBytes > 0 ? amounts_.rangeBytes : amounts_.total;
    if (const std::optional<double> fraction = estimator_.FractionPerSecond(); fraction && whole > 0) {
        figures.rate = *fraction * static_cast<double>(whole);
        figures.rateInBytes = amounts_.rangeBytes > 0;
    }
    return figures;
}

}  // namespace vaultpack
