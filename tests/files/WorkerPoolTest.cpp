#include "files/WorkerPool.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <pthread.h>

#include "tests/support/BoundedWait.h"
#include "tests/support/ResourceLimits.h"

namespace vaultpack {
namespace {

// Under a limit of threads in a child: how many of four workers start, or 99
// when the pool refused to start with too few. The workers count themselves,
// and stay until the pool is made, so none ends to make room for the next.
struct StartRow {
    std::string name;
    rlim_t threadLimit;  // this process's own thread included
    unsigned fewest;
    int expected;
};

void PrintTo(const StartRow& row, std::ostream* out) { *out << row.name; }

class WorkerPoolStart : public testing::TestWithParam<StartRow> {};

TEST_P(WorkerPoolStart, RunsWithTheThreadsItCouldStart) {
    const StartRow& row = GetParam();
    if (row.threadLimit > 1 && test::UnderSanitizer()) {
        GTEST_SKIP() << "the sanitizer's own threads count against the limit";
    }
    const int started = test::ExitStatusInChild([&] {
        if (!test::LimitThreadsOfThisProcess(row.threadLimit)) {
            return 98;
        }
        std::atomic<unsigned> ran{0};
        std::mutex mutex;
        std::condition_variable changed;
        bool made = false;
        try {
            WorkerPool pool(
                4,
                [&](unsigned) {
                    ++ran;
                    std::unique_lock lock(mutex);
                    test::Await(changed, lock, [&] { return made; }, "the pool to be made");
                },
                {}, row.fewest);
            {
                const std::lock_guard lock(mutex);
                made = true;
            }
            changed.notify_all();
            pool.Join();
            return ran == pool.Size() ? static_cast<int>(pool.Size()) : 97;
        } catch (const ThreadStartError&) {
            return 99;
        }
    });
    EXPECT_EQ(started, row.expected);
}

INSTANTIATE_TEST_SUITE_P(Limits, WorkerPoolStart,
                         testing::Values(StartRow{"NoThreadAllowed", 1, 1, 99}, StartRow{"NoThreadNeeded", 1, 0, 0},
                                         StartRow{"TwoOfFour", 3, 1, 2}, StartRow{"AllFour", 5, 1, 4}),
                         [](const auto& info) { return info.param.name; });

// One worker fails for want of memory while the others wait for the owner to
// stop them: the failure hook must stop them, and the owner sees the first
// failure, not one that a stopped worker lets out after it.
TEST(WorkerPool, CarriesAWorkersFailureBackAndLetsTheOwnerStopTheOthers) {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    int stoppedInTime = 0;
    {
        WorkerPool pool(
            3,
            [&](unsigned worker) {
                if (worker == 1) {
                    throw std::bad_alloc();
                }
                std::unique_lock lock(mutex);
                stoppedInTime += changed.wait_for(lock, std::chrono::seconds(20), [&] { return stopping; }) ? 1 : 0;
                if (worker == 2) {
                    throw std::runtime_error("a later failure");
                }
            },
            [&] {
                const std::lock_guard lock(mutex);
                stopping = true;
                changed.notify_all();
            });
        pool.Join();
        EXPECT_TRUE(pool.Failed());
        EXPECT_THROW(pool.RethrowFailure(), std::bad_alloc);
    }
    EXPECT_EQ(stoppedInTime, 2);
}

// The termination signals are left to the program's own threads, and the
// starting thread's mask is as it was.
TEST(WorkerPool, WorkersRunWithTheTerminationSignalsBlocked) {
    std::atomic<int> blockedInWorker{0};
    const auto countBlocked = [] {
        sigset_t mask;
        ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        return ::sigismember(&mask, SIGINT) + ::sigismember(&mask, SIGTERM) + ::sigismember(&mask, SIGHUP);
    };
    const int blockedBefore = countBlocked();
    WorkerPool(1, [&](unsigned) { blockedInWorker = countBlocked(); }).Join();
    EXPECT_EQ(blockedInWorker, 3);
    EXPECT_EQ(countBlocked(), blockedBefore);
    std::thread single = StartThreadWithTerminationSignalsBlocked([&] { blockedInWorker = countBlocked() + 10; });
    single.join();
    EXPECT_EQ(blockedInWorker, 13);
}

}  // namespace
}  // namespace vaultpack
