#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QPointer>
#include <QWidget>

#include "app/MessageCatalogue.h"
#include "app/ProgressTracker.h"
#include "jobs/JobHost.h"
#include "jobs/JobRunner.h"

namespace vaultpack {

class DecryptionPasswordDialog;
class PlatformPickers;
class ProgressDialog;

// The GUI-thread side of the desktop program's host: answers each kind of
// question with its own dialog (the platform's pickers, the folder chooser,
// the decryption password dialog, message boxes) and shows the progress
// snapshots in the job kind's progress window. Ask, Report and Complete run
// on the GUI thread (QtJobHost brings them there); CancelRequested reads the
// progress window's flag (the base's named flag) from any thread.
//
// Every question blocks only the job's own windows: the progress window
// while it is up, else the window that owns the job's questions (none for
// the main window's jobs, so that the main window stays usable for the other
// kind of job). Windows that are gone when a call comes (the program is
// closing) are treated as cancelled answers and ignored progress.
class DialogJobHost final : public JobHost {
public:
    using CompletionHandler = std::function<void(const JobCompletion&)>;

    // questionOwner: the window that questions belong to while the progress
    // window is hidden (may be null). catalogue and pickers must outlive the host.
    DialogJobHost(const MessageCatalogue& catalogue, PlatformPickers& pickers, ProgressDialog& progress,
                  QWidget* questionOwner, CompletionHandler onComplete);
    ~DialogJobHost() override;

    Answer Ask(const Question& question) override;
    void Report(const Progress& progress) override;
    void Complete(const JobCompletion& completion) override;

private:
    // The dialog for each kind of question.
    MessageAnswer Reply(const MessageBoxRequest& request);
    MessageAnswer Reply(const ReplaceQuestion& question);
    MessageAnswer Reply(const GoOnQuestion& question);
    PasswordAnswer Reply(const PasswordQuestion& question);
    PathAnswer Reply(const OpenFileQuestion& question);
    PathAnswer Reply(const SaveFileQuestion& question);
    PathAnswer Reply(const FolderQuestion& question);

    QWidget* OwnerFor(MessageOwner owner) const;
    // The progress window while it is up, else the question owner.
    QWidget* QuestionParent() const;
    // Seconds on the steady clock, for the rate and the time left.
    static double Now();
    // Shows the figures under the bar: when `now` is set or the percentage
    // changed, otherwise at most twice a second, so that the rate can be read.
    void ShowFigures(bool now);

    const MessageCatalogue& catalogue_;
    PlatformPickers& pickers_;
    QPointer<ProgressDialog> progress_;
    // Kept for CancelRequested, which reads it through the base.
    std::shared_ptr<const std::atomic<bool>> cancelFlag_;
    QPointer<QWidget> questionOwner_;
    CompletionHandler onComplete_;
    // One dialog for the whole job, so that after a wrong password it opens
    // again with what was typed.
    QPointer<DecryptionPasswordDialog> passwordDialog_;
    // What the progress window shows of the job's snapshots.
    Progress shown_;
    ProgressTracker tracker_;
    // Empty until the figures are first shown, so that the first showing never
    // waits on a clock that starts when the machine does.
    std::optional<double> figuresShownAt_;
    std::optional<int> percentShown_;
};

// StartJob for the desktop program: when no thread can be started for the
// job, the reason is shown over `owner` and the job completes at once as
// failed through its host, so the windows end up as after any failed job.
void StartDesktopJob(JobKind kind, const std::shared_ptr<JobHost>& host, JobBody body, QWidget* owner,
                     const MessageCatalogue& catalogue);

// The filter text of an open or save dialog, as Qt writes it.
QString FilterText(FileFilter filter);

// The host a job of the desktop program runs with: its calls handed to the
// GUI thread (QtJobHost) and answered there by a DialogJobHost. onComplete
// runs on the GUI thread, and only while `starter`, the window that started
// the job, still exists.
std::shared_ptr<JobHost> MakeDesktopJobHost(const MessageCatalogue& catalogue, PlatformPickers& pickers,
                                            ProgressDialog& progress, QWidget* starter, QWidget* questionOwner,
                                            DialogJobHost::CompletionHandler onComplete);

}  // namespace vaultpack
