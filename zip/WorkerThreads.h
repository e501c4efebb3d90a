#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vaultpack {

// Starts `count` threads that each run `work`, with the termination signals
// (SIGINT, SIGTERM, SIGHUP) blocked: their handlers run on the program's own
// threads, never on a worker that may hold a GuardedCreation.
std::vector<std::thread> StartThreads(unsigned count, const std::function<void()>& work);

// Sets `stopping` with `mutex` held, wakes every thread waiting on `wake` and
// joins the threads.
void StopThreads(std::mutex& mutex, bool& stopping, std::condition_variable& wake, std::vector<std::thread>& threads);

}  // namespace vaultpack
