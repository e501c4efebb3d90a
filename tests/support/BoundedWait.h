#pragma once

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>

namespace vaultpack::test {

// How long a test waits for another thread before it gives up: far beyond
// what any wait here takes on a loaded machine, and within the time limit
// that ctest sets on each test.
inline constexpr std::chrono::seconds kWaitLimit{60};

// Ends the test program at once, saying what it waited for. Going on is not
// safe: the thread that never came may still use the test's locals.
[[noreturn]] void GiveUpWaiting(const std::string& what);

// Waits for `future` within the limit and returns its value.
template <typename T>
T Await(std::future<T> future, const std::string& what) {
    if (future.wait_for(kWaitLimit) != std::future_status::ready) {
        GiveUpWaiting(what);
    }
    return future.get();
}

// Waits on `changed` until `condition` holds, within the limit.
template <typename Condition>
void Await(std::condition_variable& changed, std::unique_lock<std::mutex>& lock, Condition condition,
           const std::string& what) {
    if (!changed.wait_for(lock, kWaitLimit, condition)) {
        GiveUpWaiting(what);
    }
}

}  // namespace vaultpack::test
