#pragma once

#include <cstdint>

#include "app/AmountText.h"
#include "app/ProgressEstimator.h"
#include "jobs/JobHost.h"

namespace vaultpack {

// Follows one job's progress bar (range and position) and its amounts, with
// the times they came (seconds on a steady clock), and works out what a
// progress window shows under the bar: the count, the percentage, the rate
// in bytes (or files) per second and the time left.
class ProgressTracker {
public:
    // A job begins to show its progress: whatever an earlier run left is forgotten.
    void Start(double now);
    // A new bar: the estimate starts over.
    void SetRange(double now, std::uint32_t high);
    void SetPosition(double now, std::uint32_t position);
    void SetAmounts(const ProgressAmounts& amounts) { amounts_ = amounts; }

    ProgressFigures Figures() const;

private:
    ProgressEstimator estimator_;
    ProgressAmounts amounts_;
    std::uint32_t high_ = 0;
    std::uint32_t position_ = 0;
};

}  // namespace vaultpack
