#include "app/ProgressEstimator.h"

#include <gtest/gtest.h>

#include <vector>

namespace vaultpack {
namespace {

struct Sample {
    double time;
    double fraction;
};

TEST(ProgressEstimator, RateAndTimeLeftFromRecentProgress) {
    const struct {
        const char* name;
        std::vector<Sample> samples;  // after a start at time 0
        std::optional<double> rate;
        std::optional<double> left;
    } rows[] = {
        {"nothing recorded", {}, {}, {}},
        {"too early to tell", {{0.5, 0.05}, {1.5, 0.15}}, {}, {}},
        {"steady", {{1, 0.1}, {2, 0.2}, {3, 0.3}, {4, 0.4}}, 0.1, 6.0},
        {"stalled", {{1, 0.2}, {10, 0.2}, {19, 0.2}}, {}, {}},
        // Only the last eight seconds count: fast at first, then slow.
        {"slowed down", {{1, 0.5}, {2, 0.6}, {12, 0.7}, {20, 0.78}}, 0.01, 22.0},
        {"done", {{1, 0.5}, {3, 1.0}}, 1.0 / 3, 0.0},
    };
    for (const auto& row : rows) {
        ProgressEstimator estimator;
        estimator.Restart(0);
        for (const Sample& sample : row.samples) {
            estimator.Record(sample.time, sample.fraction);
        }
        const std::optional<double> rate = estimator.FractionPerSecond();
        const std::optional<double> left = estimator.SecondsLeft();
        ASSERT_EQ(rate.has_value(), row.rate.has_value()) << row.name;
        ASSERT_EQ(left.has_value(), row.left.has_value()) << row.name;
        if (row.rate) {
            EXPECT_NEAR(*rate, *row.rate, 1e-9) << row.name;
            EXPECT_NEAR(*left, *row.left, 1e-6) << row.name;
        }
    }
}

TEST(ProgressEstimator, RestartForgetsTheLastOperation) {
    ProgressEstimator estimator;
    estimator.Restart(0);
    estimator.Record(5, 0.5);
    ASSERT_TRUE(estimator.FractionPerSecond());
    estimator.Restart(10);
    estimator.Record(11, 0.9);
    EXPECT_FALSE(estimator.FractionPerSecond()) << "a new operation waits for its own estimate";
    estimator.Record(12, 0.9);
    EXPECT_NEAR(*estimator.SecondsLeft(), 0.1 / 0.45, 1e-9);
}

}  // namespace
}  // namespace vaultpack
