#pragma once

#include <signal.h>

#include <exception>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <pthread.h>

#include "files/Failure.h"

namespace vaultpack {

// Not even one thread could be started: the system's limit of threads or
// processes is reached, or there is no memory for a thread's stack.
class ThreadStartError : public FailureError {
public:
    explicit ThreadStartError(int errorNumber)
        : FailureError({FailureReason::CannotStartThread, FileOperation::Open, errorNumber, {}, {}}) {}
};

// Blocks the termination signals on the calling thread for as long as it
// lives, so that threads started meanwhile inherit the mask, and so that no
// handler runs on this thread while it holds what the handler waits for.
class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked();
    ~TerminationSignalsBlocked();
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

// Starts one thread that runs `work` with the termination signals blocked, as
// the pool's threads do; throws ThreadStartError when it cannot be started.
std::thread StartThreadWithTerminationSignalsBlocked(std::function<void()> work);

// How many of `wanted` workers, each taking about `bytesEach` of address
// space, fit in what the process may still map (RLIMIT_AS, ulimit -v); at
// least one, and all of them when there is no such limit. A pass under a
// tight limit runs with fewer workers instead of failing for want of memory.
unsigned WorkersWithinAddressSpace(unsigned wanted, std::size_t bytesEach);

// How many of `wanted` workers, each holding up to `descriptorsEach` open
// files and folders, fit beside `reserved` others in what the process may
// open (RLIMIT_NOFILE, ulimit -n); possibly none, and the pass then runs on
// its own thread alone instead of failing for want of descriptors.
unsigned WorkersWithinDescriptors(unsigned wanted, unsigned descriptorsEach, unsigned reserved);

// The threads of one parallel pass, each with a stack of kWorkerStack: the
// default of 8 MiB, reserved per thread, made a pass of many workers fail
// under an address-space limit (ulimit -v) where one of few went through,
// and a worker's work needs little stack. Each runs work(worker number) with the
// termination signals (SIGINT, SIGTERM, SIGHUP) blocked: their handlers run on
// the program's own threads, never on a worker that may hold a
// GuardedCreation. The pool runs with the threads the system lets it start, up
// to the count asked for. An exception that escapes a worker's work (out of
// memory included) ends that worker: the first one is kept for the owner to
// rethrow where it waits, and onFailure runs on that worker's thread so the
// owner can stop and wake the others.
class WorkerPool {
public:
    using Work = std::function<void(unsigned worker)>;

    // Starts up to `wanted` threads; throws ThreadStartError when fewer than
    // `fewest` (0 or 1) could be started, and nothing runs then. A pool of 0
    // threads is for an owner that does the work itself.
    WorkerPool(unsigned wanted, Work work, std::function<void()> onFailure = {}, unsigned fewest = 1);
    // Waits for every thread: the owner must have told them to stop.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Room for the deflate and inflate libraries' frames and ours, with a
    // margin; the sanitizers' instrumented frames get the system's default.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    static constexpr std::size_t kWorkerStack = 0;
#else
    static constexpr std::size_t kWorkerStack = 1024 * 1024;
#endif

    unsigned Size() const { return static_cast<unsigned>(threads_.size()); }

    // Waits for every thread to end; the owner must have told them to stop.
    void Join();

    // Whether a worker's work let an exception out.
    bool Failed() const;
    // Rethrows the first exception a worker's work let out; nothing when none did.
    void RethrowFailure() const;

private:
    void Run(unsigned worker) noexcept;

    // What a thread is started with; the thread deletes it.
    struct Start {
        WorkerPool* pool;
        unsigned worker;
    };
    static void* RunStarted(void* start);

    const Work work_;
    const std::function<void()> onFailure_;
    mutable std::mutex mutex_;
    std::exception_ptr failure_;
    std::vector<pthread_t> threads_;
    bool joined_ = false;
};

}  // namespace vaultpack
