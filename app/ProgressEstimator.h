#pragma once

#include <deque>
#include <optional>

namespace vaultpack {

// Estimates how fast a running operation goes and how long it still needs,
// from how far it has come (a fraction from 0 to 1) at given times (seconds
// on any steady clock). The rate is measured over the last few seconds, so
// it follows a change of speed (small files, then a large one) within that
// time; it is unknown until the operation has run for a moment and moved.
class ProgressEstimator {
public:
    // Forgets what was recorded: a new operation begins at `now`.
    void Restart(double now);
    // The operation had come as far as `fraction` at `now`; times only grow.
    void Record(double now, double fraction);

    // Fraction per second, once it can be estimated.
    std::optional<double> FractionPerSecond() const;
    // Seconds until the fraction reaches 1 at that rate.
    std::optional<double> SecondsLeft() const;

private:
    struct Sample {
        double time;
        double fraction;
    };

    double started_ = 0;
    std::deque<Sample> samples_;
};

}  // namespace vaultpack
