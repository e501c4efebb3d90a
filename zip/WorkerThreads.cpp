#include "zip/WorkerThreads.h"

namespace vaultpack {

std::vector<std::thread> StartThreads(unsigned count, const std::function<void()>& work) {
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        threads.emplace_back(work);
    }
    return threads;
}

void StopThreads(std::mutex& mutex, bool& stopping, std::condition_variable& wake, std::vector<std::thread>& threads) {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

}  // namespace vaultpack
