#include "files/OrderedWindow.h"

#include <gtest/gtest.h>

#include <optional>
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
