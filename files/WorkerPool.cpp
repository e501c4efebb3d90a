#include "files/WorkerPool.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include <pthread.h>

namespace vaultpack {

namespace {

// Blocks the termination signals on the calling thread for as long as it
// lives, so that threads started meanwhile inherit the mask.
class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked() {
        sigset_t termination;
        ::sigemptyset(&termination);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            ::sigaddset(&termination, signal);
        }
        ::pthread_sigmask(SIG_BLOCK, &termination, &previous_);
    }
    ~TerminationSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

// The error number of a failed thread start.
int StartErrorNumber(const std::exception& error) {
    if (const auto* systemError = dynamic_cast<const std::system_error*>(&error)) {
        return systemError->code().value();
    }
    return ENOMEM;
}

}  // namespace

std::thread StartThreadWithTerminationSignalsBlocked(std::function<void()> work) {
    const TerminationSignalsBlocked blocked;
    try {
        return std::thread(std::move(work));
    } catch (const std::exception& error) {
        throw ThreadStartError(StartErrorNumber(error));
    }
}

WorkerPool::WorkerPool(unsigned wanted, Work work, std::function<void()> onFailure, unsigned fewest)
    : work_(std::move(work)), onFailure_(std::move(onFailure)) {
    int startError = 0;
    {
        const TerminationSignalsBlocked blocked;
        try {
            threads_.reserve(wanted);
            for (unsigned worker = 0; worker < wanted; ++worker) {
                threads_.emplace_back([this, worker] { Run(worker); });
            }
        } catch (const std::exception& error) {
            startError = StartErrorNumber(error);
        }
    }
    if (threads_.size() < fewest) {
        throw ThreadStartError(startError);
    }
}

WorkerPool::~WorkerPool() { Join(); }

void WorkerPool::Join() {
    for (std::thread& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

bool WorkerPool::Failed() const {
    const std::lock_guard lock(mutex_);
    return failure_ != nullptr;
}

void WorkerPool::RethrowFailure() const {
    std::exception_ptr failure;
    {
        const std::lock_guard lock(mutex_);
        failure = failure_;
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void WorkerPool::Run(unsigned worker) noexcept {
    try {
        work_(worker);
    } catch (...) {
        {
            const std::lock_guard lock(mutex_);
            if (!failure_) {
                failure_ = std::current_exception();
            }
        }
        if (onFailure_) {
            onFailure_();
        }
    }
}

}  // namespace vaultpack
