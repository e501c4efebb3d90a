#include "ui/QtJobHost.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace vaultpack {

QtJobHost::QtJobHost(std::shared_ptr<JobHost> gui, std::chrono::milliseconds updateInterval)
    : JobHost(gui.get()), gui_(std::move(gui)), updateInterval_(updateInterval) {}

Answer QtJobHost::Ask(const Question& question) {
    FlushProgress();
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return CancelledAnswer(question);
    }
    std::shared_ptr<JobHost> gui = gui_;
    if (QThread::currentThread() == application->thread()) {
        // Called on the GUI thread itself (a host used without a worker):
        // a blocking hand-over would wait for itself.
        return gui->Ask(question);
    }
    // Stays empty when the call could not run there (the program ending).
    std::optional<Answer> answer;
    QMetaObject::invokeMethod(
        application, [&answer, &question, gui] { answer = gui->Ask(question); }, Qt::BlockingQueuedConnection);
    return answer ? std::move(*answer) : CancelledAnswer(question);
}

template <typename Tell>
void QtJobHost::Post(Tell tell) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        application, [gui = gui_, tell = std::move(tell)] { tell(*gui); }, Qt::QueuedConnection);
}

void QtJobHost::Report(const Progress& progress) {
    ProgressChanges changes;
    {
        const std::lock_guard lock(pending_->mutex);
        changes = TakeChanges(pending_->progress, progress);
    }
    if (!changes.Any()) {
        return;
    }
    // A bar that only moved waits out the rate limit; anything else goes now.
    const auto now = std::chrono::steady_clock::now();
    progressHeldBack_ = changes.OnlyMoved() && lastPosted_ && now - *lastPosted_ < updateInterval_;
    if (!progressHeldBack_) {
        if (changes.OnlyMoved()) {
            lastPosted_ = now;
        }
        PostProgress();
    }
}

void QtJobHost::FlushProgress() {
    if (progressHeldBack_) {
        progressHeldBack_ = false;
        PostProgress();
    }
}

void QtJobHost::PostProgress() {
    if (pending_->queued.exchange(true, std::memory_order_acq_rel)) {
        return;  // the update on its way will carry the latest snapshot
    }
    Post([pending = pending_](JobHost& gui) {
        // Cleared before the snapshot is read, so a report after this read
        // posts an update of its own.
        pending->queued.exchange(false, std::memory_order_acq_rel);
        Progress latest;
        {
            const std::lock_guard lock(pending->mutex);
            latest = pending->progress;
        }
        gui.Report(latest);
    });
}

void QtJobHost::Complete(const JobCompletion& completion) {
    FlushProgress();
    Post([completion](JobHost& gui) { gui.Complete(completion); });
}

}  // namespace vaultpack
