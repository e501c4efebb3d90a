#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

#include "jobs/JobHost.h"

namespace vaultpack {

// The job-thread side of the desktop program's host: hands the three calls of
// a job over to a host that lives on the GUI thread (`gui`, which shows the
// windows). Questions run there while the job waits for the answer (a
// blocking queued call). Reports and the completion are queued without
// waiting, in the order the job made them: the latest snapshot waits in one
// slot, and at most one update carrying it is on its way, so a job moving
// its bar once per chunk posts a few dozen updates a second at most.
// CancelRequested reads gui's (the base wraps it), so gui must answer it
// from any thread.
//
// Everything queued holds gui by shared ownership, so gui outlives the job
// and its last calls. The GUI thread must keep its event loop running and
// never wait for the job. Needs a QCoreApplication for as long as the job runs.
class QtJobHost final : public JobHost {
public:
    // updateInterval: the least time between two updates posted for a bar
    // that only moved; a bar needs no more than a few dozen a second.
    explicit QtJobHost(std::shared_ptr<JobHost> gui,
                       std::chrono::milliseconds updateInterval = std::chrono::milliseconds(40));

    Answer Ask(const Question& question) override;
    void Report(const Progress& progress) override;
    void Complete(const JobCompletion& completion) override;

private:
    // The latest snapshot and whether an update carrying it is on its way.
    struct Pending {
        std::mutex mutex;
        Progress progress;
        std::atomic<bool> queued{false};
    };

    // Queues tell(gui) to the GUI thread, after whatever was queued before.
    template <typename Tell>
    void Post(Tell tell);
    // Queues an update carrying the latest snapshot, unless one is on its way.
    void PostProgress();
    // Posts a snapshot held back by the rate limit, so that it arrives before
    // whatever the job does next.
    void FlushProgress();

    std::shared_ptr<JobHost> gui_;
    std::shared_ptr<Pending> pending_ = std::make_shared<Pending>();
    // Job-thread side of the rate limit: each update costs the GUI thread a
    // repaint.
    const std::chrono::milliseconds updateInterval_;
    // Empty until the first update is posted: the first one always goes out,
    // whatever the clock read when the machine started.
    std::optional<std::chrono::steady_clock::time_point> lastPosted_;
    bool progressHeldBack_ = false;
};

}  // namespace vaultpack
