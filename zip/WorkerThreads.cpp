#include "zip/WorkerThreads.h"

#include <csignal>

#include <pthread.h>

namespace vaultpack {

std::vector<std::thread> StartThreads(unsigned count, const std::function<void()>& work) {
    // New threads start with the mask of the thread that makes them.
    sigset_t termination;
    sigset_t previous;
    ::sigemptyset(&termination);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaddset(&termination, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &termination, &previous);
    std::vector<std::thread> threads;
    try {
        threads.reserve(count);
        for (unsigned i = 0; i < count; ++i) {
            threads.emplace_back(work);
        }
    } catch (...) {
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        throw;
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
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
