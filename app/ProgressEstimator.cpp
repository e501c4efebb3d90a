#include "app/ProgressEstimator.h"

namespace vaultpack {

namespace {

// The rate is the progress over this many recent seconds.
constexpr double kWindowSeconds = 8.0;
// Nothing is estimated during the first moments, when a burst of small files
// or a cache would promise far too much.
constexpr double kWarmUpSeconds = 2.0;
// Samples closer together than this are merged, which bounds the memory.
constexpr double kSampleSpacing = 0.2;

}  // namespace

void ProgressEstimator::Restart(double now) {
    started_ = now;
    samples_.clear();
    samples_.push_back({now, 0.0});
}

void ProgressEstimator::Record(double now, double fraction) {
    if (samples_.empty()) {
        Restart(now);
    }
    if (samples_.size() > 1 && now - samples_[samples_.size() - 2].time < kSampleSpacing) {
        samples_.back() = {now, fraction};
    } else {
        samples_.push_back({now, fraction});
    }
    // The oldest sample kept is the last one at or before the window's start.
    while (samples_.size() > 2 && samples_[1].time <= now - kWindowSeconds) {
        samples_.pop_front();
    }
}

std::optional<double> ProgressEstimator::FractionPerSecond() const {
    if (samples_.size() < 2) {
        return std::nullopt;
    }
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    if (last.time - started_ < kWarmUpSeconds || last.fraction <= first.fraction) {
        return std::nullopt;
    }
    return (last.fraction - first.fraction) / (last.time - first.time);
}

std::optional<double> ProgressEstimator::SecondsLeft() const {
    const std::optional<double> rate = FractionPerSecond();
    if (!rate) {
        return std::nullopt;
    }
    const double left = 1.0 - samples_.back().fraction;
    return left > 0 ? left / *rate : 0.0;
}

}  // namespace vaultpack
