#include "ui/QtJobHost.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace vaultpack {

QtJobHost::QtJobHost(std::shared_ptr<JobHost> gui, std::chrono::milliseconds updateInterval)
    : gui_(std::move(gui)), updateInterval_(updateInterval) {}

template <typename Ask>
auto QtJobHost::AskOnGuiThread(Ask ask) -> decltype(ask(std::declval<JobHost&>())) {
    using Answer = decltype(ask(std::declval<JobHost&>()));
    FlushPosition();
    // An empty optional: the answer of a dialog that could not be shown.
    Answer answer{};
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return answer;
    }
    std::shared_ptr<JobHost> gui = gui_;
    if (QThread::currentThread() == application->thread()) {
        // Called on the GUI thread itself (a host used without a worker):
        // a blocking hand-over would wait for itself.
        return ask(*gui);
    }
    QMetaObject::invokeMethod(
        application, [&answer, &ask, gui] { answer = ask(*gui); }, Qt::BlockingQueuedConnection);
    return answer;
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

template <typename Tell>
void QtJobHost::TellGuiThread(Tell tell) {
    FlushPosition();
    Post(std::move(tell));
}

std::optional<std::filesystem::path> QtJobHost::ChooseFileToOpen(FileFilter filter) {
    return AskOnGuiThread([filter](JobHost& gui) { return gui.ChooseFileToOpen(filter); });
}

std::optional<std::filesystem::path> QtJobHost::ChooseFileToSave(FileFilter filter, const std::string& defaultName,
                                                                const std::filesystem::path& startFolder) {
    return AskOnGuiThread([&](JobHost& gui) { return gui.ChooseFileToSave(filter, defaultName, startFolder); });
}

std::optional<std::filesystem::path> QtJobHost::ChooseFolder(MessageId title) {
    return AskOnGuiThread([title](JobHost& gui) { return gui.ChooseFolder(title); });
}

std::optional<std::string> QtJobHost::AskPassword(const std::string& hint) {
    return AskOnGuiThread([&](JobHost& gui) { return gui.AskPassword(hint); });
}

MessageAnswer QtJobHost::ShowMessage(const MessageBoxRequest& request) {
    return AskOnGuiThread([&](JobHost& gui) { return std::optional(gui.ShowMessage(request)); })
        .value_or(CancelledAnswer(request.buttons));
}

void QtJobHost::ShowProgress() {
    TellGuiThread([](JobHost& gui) { gui.ShowProgress(); });
}

void QtJobHost::SetProgressTitle(MessageId title) {
    TellGuiThread([title](JobHost& gui) { gui.SetProgressTitle(title); });
}

void QtJobHost::SetStatus(const MessageLine& status) {
    TellGuiThread([status](JobHost& gui) { gui.SetStatus(status); });
}

void QtJobHost::SetCancelCaption(MessageId caption) {
    TellGuiThread([caption](JobHost& gui) { gui.SetCancelCaption(caption); });
}

void QtJobHost::SetRange(std::uint32_t high) {
    TellGuiThread([high](JobHost& gui) { gui.SetRange(high); });
    // A new range starts the bar at 0, so a later update carrying only
    // amounts must not bring back the old position.
    position_->value.store(0, std::memory_order_relaxed);
}

void QtJobHost::SetPosition(std::uint32_t position) {
    position_->value.store(position, std::memory_order_relaxed);
    PostCoalesced();
}

void QtJobHost::SetAmounts(const ProgressAmounts& amounts) {
    {
        const std::lock_guard lock(position_->amountsMutex);
        position_->amounts = amounts;
    }
    PostCoalesced();
}

void QtJobHost::PostCoalesced() {
    const auto now = std::chrono::steady_clock::now();
    positionHeldBack_ = lastPosted_ && now - *lastPosted_ < updateInterval_;
    if (!positionHeldBack_) {
        lastPosted_ = now;
        PostPosition();
    }
}

void QtJobHost::FlushPosition() {
    if (positionHeldBack_) {
        positionHeldBack_ = false;
        PostPosition();
    }
}

void QtJobHost::PostPosition() {
    if (position_->queued.exchange(true, std::memory_order_acq_rel)) {
        return;  // the update on its way will carry this position
    }
    Post([pending = position_](JobHost& gui) {
        // An exchange, not a store: it pairs with the job thread's exchange, so
        // the value stored before that is the one read here.
        pending->queued.exchange(false, std::memory_order_acq_rel);
        std::optional<ProgressAmounts> amounts;
        {
            const std::lock_guard lock(pending->amountsMutex);
            amounts.swap(pending->amounts);
        }
        // The position first, so that the amounts show with it.
        gui.SetPosition(pending->value.load(std::memory_order_relaxed));
        if (amounts) {
            gui.SetAmounts(*amounts);
        }
    });
}

bool QtJobHost::CancelRequested() const {
    return gui_->CancelRequested();
}

void QtJobHost::Complete(const JobCompletion& completion) {
    TellGuiThread([completion](JobHost& gui) { gui.Complete(completion); });
}

}  // namespace vaultpack
