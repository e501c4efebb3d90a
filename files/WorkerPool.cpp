#include "files/WorkerPool.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <utility>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include "files/FileHandle.h"

namespace vaultpack {

TerminationSignalsBlocked::TerminationSignalsBlocked() {
    sigset_t termination;
    ::sigemptyset(&termination);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaddset(&termination, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &termination, &previous_);
}

TerminationSignalsBlocked::~TerminationSignalsBlocked() {
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

namespace {

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

unsigned WorkersWithinAddressSpace(unsigned wanted, std::size_t bytesEach) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || bytesEach == 0) {
        return wanted;
    }
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    if (!(statm >> pages)) {
        return wanted;
    }
    const std::uint64_t mapped = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t room = limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
    return static_cast<unsigned>(std::clamp<std::uint64_t>(room / bytesEach, 1, std::max(wanted, 1u)));
}

unsigned WorkersWithinDescriptors(unsigned wanted, unsigned descriptorsEach, unsigned reserved) {
    const std::uint64_t limit = DescriptorLimit();
    return limit <= reserved ? 0
                             : static_cast<unsigned>(std::min<std::uint64_t>(wanted, (limit - reserved) / descriptorsEach));
}

WorkerPool::WorkerPool(unsigned wanted, Work work, std::function<void()> onFailure, unsigned fewest)
    : work_(std::move(work)), onFailure_(std::move(onFailure)) {
    int startError = 0;
    {
        const TerminationSignalsBlocked blocked;
        pthread_attr_t attributes;
        ::pthread_attr_init(&attributes);
        if (kWorkerStack != 0) {
            ::pthread_attr_setstacksize(&attributes, kWorkerStack);
        }
        threads_.reserve(wanted);
        for (unsigned worker = 0; worker < wanted; ++worker) {
            auto* start = new (std::nothrow) Start{this, worker};
            pthread_t thread{};
            startError = start == nullptr ? ENOMEM : ::pthread_create(&thread, &attributes, &RunStarted, start);
            if (startError != 0) {
                delete start;
                break;
            }
            threads_.push_back(thread);
        }
        ::pthread_attr_destroy(&attributes);
    }
    if (threads_.size() < fewest) {
        throw ThreadStartError(startError);
    }
}

void* WorkerPool::RunStarted(void* start) {
    const std::unique_ptr<Start> started(static_cast<Start*>(start));
    started->pool->Run(started->worker);
    return nullptr;
}

WorkerPool::~WorkerPool() { Join(); }

void WorkerPool::Join() {
    if (std::exchange(joined_, true)) {
        return;
    }
    for (const pthread_t thread : threads_) {
        ::pthread_join(thread, nullptr);
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
