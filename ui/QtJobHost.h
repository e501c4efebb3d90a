#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

#include "jobs/JobHost.h"

namespace vaultpack {

// The job-thread side of the desktop program's host: hands every call of a
// job over to a host that lives on the GUI thread (`gui`, which shows the
// windows). Questions run there while the job waits for the answer (a
// blocking queued call); what only tells (progress, status, title) and the
// completion are queued without waiting, in the order the job made them, and
// positions and amounts are coalesced so that a job moving its bar once per chunk posts at
// most one update at a time and a few dozen a second. CancelRequested reads gui's flag directly, so
// gui must answer it from any thread.
//
// Everything queued holds gui by shared ownership, so gui outlives the job
// and its last calls. The GUI thread must keep its event loop running and
// never wait for the job. Needs a QCoreApplication for as long as the job runs.
class QtJobHost final : public JobHost {
public:
    // updateInterval: the least time between two position updates posted;
    // a bar needs no more than a few dozen a second.
    explicit QtJobHost(std::shared_ptr<JobHost> gui,
                       std::chrono::milliseconds updateInterval = std::chrono::milliseconds(40));

    std::optional<std::filesystem::path> ChooseFileToOpen(FileFilter filter) override;
    std::optional<std::filesystem::path> ChooseFileToSave(FileFilter filter, const std::string& defaultName,
                                                          const std::filesystem::path& startFolder) override;
    std::optional<std::filesystem::path> ChooseFolder(MessageId title) override;
    std::optional<std::string> AskPassword(const std::string& hint) override;
    MessageAnswer ShowMessage(const MessageBoxRequest& request) override;

    void ShowProgress() override;
    void SetProgressTitle(MessageId title) override;
    void SetStatus(const MessageLine& status) override;
    void SetCancelCaption(MessageId caption) override;
    void SetAmounts(const ProgressAmounts& amounts) override;
    void SetRange(std::uint32_t high) override;
    void SetPosition(std::uint32_t position) override;
    bool CancelRequested() const override;

    void Complete(const JobCompletion& completion) override;

private:
    // The latest position and whether an update carrying it is on its way;
    // amounts not yet handed over ride on the same update.
    struct PendingPosition {
        std::atomic<std::uint32_t> value{0};
        std::atomic<bool> queued{false};
        std::mutex amountsMutex;
        std::optional<ProgressAmounts> amounts;
    };

    // Runs ask(gui) on the GUI thread and waits for its result, an optional
    // that stays empty when the call could not run there (no application,
    // or the program ending).
    template <typename Ask>
    auto AskOnGuiThread(Ask ask) -> decltype(ask(std::declval<JobHost&>()));
    // Queues tell(gui) to the GUI thread, after whatever was queued before.
    template <typename Tell>
    void Post(Tell tell);
    // Post, after any position held back by the rate limit.
    template <typename Tell>
    void TellGuiThread(Tell tell);
    // Posts the latest position and amounts now, or holds them back for the
    // rate limit.
    void PostCoalesced();
    // Queues an update carrying the latest position and amounts.
    void PostPosition();
    // Posts a position held back by the rate limit, so that it arrives before
    // whatever the job does next.
    void FlushPosition();

    std::shared_ptr<JobHost> gui_;
    std::shared_ptr<PendingPosition> position_ = std::make_shared<PendingPosition>();
    // Job-thread side of the rate limit: a bar needs no more than a few dozen
    // updates a second, and each one costs the GUI thread a repaint.
    const std::chrono::milliseconds updateInterval_;
    // Empty until the first update is posted: the first one always goes out,
    // whatever the clock read when the machine started.
    std::optional<std::chrono::steady_clock::time_point> lastPosted_;
    bool positionHeldBack_ = false;
};

}  // namespace vaultpack
