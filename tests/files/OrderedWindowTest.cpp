#include "files/OrderedWindow.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <thread>

namespace vaultpack {
namespace {

// Finished out of order, taken in order; no number beyond the window until
// the taker makes room.
TEST(OrderedWindow, ItemsFinishedOutOfOrderAreTakenInOrderWithinTheWindow) {
    OrderedWindow<int> window(5, 2);
    const std::optional<std::uint64_t> first = window.Claim(), second = window.Claim();
    ASSERT_EQ(first, 0u);
    ASSERT_EQ(second, 1u);
    EXPECT_EQ(window.TryClaim(), std::nullopt);
    EXPECT_FALSE(window.HasRoom());
    window.Finish(1, 11);
    window.Finish(0, 10);
    EXPECT_EQ(window.Take(), 10);
    EXPECT_EQ(window.TryClaimNextToTake(), std::nullopt);  // 1 is claimed already
    EXPECT_EQ(window.TryClaim(), 2u);
    EXPECT_EQ(window.Take(), 11);
    EXPECT_EQ(window.TryClaimNextToTake(), std::nullopt);  // 2 is claimed already
    // A maker waiting for room is let in when the taker takes.
    std::thread maker([&] {
        for (std::uint64_t number = 3; number < 5; ++number) {
            EXPECT_EQ(window.Claim(), number);
            window.Finish(number, static_cast<int>(10 + number));
        }
        EXPECT_EQ(window.Claim(), std::nullopt);  // all five claimed
    });
    window.Finish(2, 12);
    for (int expected = 12; expected < 15; ++expected) {
        EXPECT_EQ(window.Take(), expected);
    }
    maker.join();
    EXPECT_EQ(window.Take(), std::nullopt);
}

// A batch is claimed whole: a maker waits until there is room for all of it,
// or for all that is left; a range is handed in under one call.
TEST(OrderedWindow, BatchesAreClaimedWholeAndHandedInAtOnce) {
    using Batch = std::pair<std::uint64_t, std::uint64_t>;
    const auto numbers = [](const auto& batch) { return batch ? Batch(batch->first, batch->last) : Batch(); };
    OrderedWindow<std::uint64_t> window(8, 4);
    ASSERT_EQ(numbers(window.ClaimBatch(3)), Batch(0, 3));
    EXPECT_EQ(window.TryTake(), std::nullopt);
    std::thread maker([&] {
        EXPECT_EQ(numbers(window.ClaimBatch(3)), Batch(3, 6));
        EXPECT_GE(window.Taken(), 2u);  // not before 0 and 1 are taken
        window.Finish(3, 6, [](std::uint64_t number) { return number; });
        EXPECT_EQ(numbers(window.ClaimBatch(9)), Batch(6, 8));  // what is left
        window.Finish(6, 8, [](std::uint64_t number) { return number; });
    });
    window.Finish(0, 3, [](std::uint64_t number) { return number; });
    for (std::uint64_t expected = 0; expected < 8; ++expected) {
        EXPECT_EQ(window.Take(), expected);
        EXPECT_EQ(window.Taken(), expected + 1);
    }
    maker.join();
    EXPECT_EQ(window.ClaimBatch(1), std::nullopt);
}

// Ending the claims keeps what was claimed for the taker; an abort drops it.
TEST(OrderedWindow, EndingClaimsKeepsWhatWasClaimedAndAbortDropsIt) {
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "abort" : "end claims");
        OrderedWindow<int> window(100, 10);
        ASSERT_EQ(window.Claim(), 0u);
        ASSERT_EQ(window.Claim(), 1u);
        abort ? window.Abort() : window.EndClaims();
        EXPECT_EQ(window.Claim(), std::nullopt);
        EXPECT_EQ(window.TryClaim(), std::nullopt);
        window.Finish(1, 1);
        window.Finish(0, 0);
        EXPECT_EQ(window.Take(), abort ? std::nullopt : std::optional<int>(0));
        EXPECT_EQ(window.Take(), abort ? std::nullopt : std::optional<int>(1));
        EXPECT_EQ(window.Take(), std::nullopt);
    }
}

}  // namespace
}  // namespace vaultpack
