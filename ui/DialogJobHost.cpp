#include "ui/DialogJobHost.h"

#include "app/AmountText.h"
#include "app/MessageRendering.h"
#include "files/WorkerPool.h"
#include "jobs/FailureReasons.h"
#include "ui/CatalogueText.h"
#include "ui/ChooseFolder.h"
#include "ui/DecryptionPasswordDialog.h"
#include "ui/JobMessageBox.h"
#include "ui/PlatformPickers.h"
#include "ui/ProgressDialog.h"
#include "ui/QtJobHost.h"

namespace vaultpack {

QString FilterText(FileFilter filter) {
    return filter == FileFilter::Zip ? QStringLiteral("ZIP File (*.zip)") : QStringLiteral("EZC File (*.ezc)");
}

void StartDesktopJob(JobKind kind, const std::shared_ptr<JobHost>& host, JobBody body, QWidget* owner,
                     const MessageCatalogue& catalogue) {
    try {
        StartJob(kind, host, std::move(body));
    } catch (const ThreadStartError& error) {
        ShowJobMessage(owner, catalogue,
                       {MessageId::CaptionError, MessageButtons::Ok, MessageOwner::None, {ReasonLine(error)}});
        JobCompletion failed;
        failed.kind = kind;
        failed.outcome = JobOutcome::Failed;
        host->Complete(failed);
    }
}

std::shared_ptr<JobHost> MakeDesktopJobHost(const MessageCatalogue& catalogue, PlatformPickers& pickers,
                                            ProgressDialog& progress, QWidget* starter, QWidget* questionOwner,
                                            DialogJobHost::CompletionHandler onComplete) {
    QPointer<QWidget> guard(starter);
    auto dialogs = std::make_shared<DialogJobHost>(catalogue, pickers, progress, questionOwner,
                                                   [guard, onComplete](const JobCompletion& completion) {
                                                       if (guard) {
                                                           onComplete(completion);
                                                       }
                                                   });
    return std::make_shared<QtJobHost>(std::move(dialogs));
}

DialogJobHost::DialogJobHost(const MessageCatalogue& catalogue, PlatformPickers& pickers, ProgressDialog& progress,
                             QWidget* questionOwner, CompletionHandler onComplete)
    : JobHost(*progress.CancelFlag()),
      catalogue_(catalogue),
      pickers_(pickers),
      progress_(&progress),
      cancelFlag_(progress.CancelFlag()),
      questionOwner_(questionOwner),
      onComplete_(std::move(onComplete)) {}

DialogJobHost::~DialogJobHost() {
    // The host may go on the job's thread; widgets go on their own.
    if (passwordDialog_) {
        passwordDialog_->deleteLater();
    }
}

QWidget* DialogJobHost::QuestionParent() const {
    if (progress_ && progress_->isVisible()) {
        return progress_;
    }
    return questionOwner_;
}

QWidget* DialogJobHost::OwnerFor(MessageOwner owner) const {
    switch (owner) {
        case MessageOwner::None: return nullptr;
        case MessageOwner::Progress: return QuestionParent();
        case MessageOwner::MainWindow: return questionOwner_;
    }
    return questionOwner_;
}

Answer DialogJobHost::Ask(const Question& question) {
    return std::visit([this](const auto& asked) -> Answer { return Reply(asked); }, question);
}

MessageAnswer DialogJobHost::Reply(const MessageBoxRequest& request) {
    return ShowJobMessage(OwnerFor(request.owner), catalogue_, request);
}

MessageAnswer DialogJobHost::Reply(const ReplaceQuestion& question) { return Reply(MessageBoxFor(question)); }

MessageAnswer DialogJobHost::Reply(const GoOnQuestion& question) { return Reply(MessageBoxFor(question)); }

PasswordAnswer DialogJobHost::Reply(const PasswordQuestion& question) {
    if (!passwordDialog_) {
        passwordDialog_ = new DecryptionPasswordDialog(catalogue_, QuestionParent());
    }
    passwordDialog_->SetHint(question.hint);
    passwordDialog_->SetForArchive(question.forArchive);
    if (passwordDialog_->exec() != QDialog::Accepted || !passwordDialog_) {
        return std::nullopt;
    }
    return passwordDialog_->Password();
}

PathAnswer DialogJobHost::Reply(const OpenFileQuestion& question) {
    return pickers_.OpenFile(QuestionParent(), FilterText(question.filter));
}

PathAnswer DialogJobHost::Reply(const SaveFileQuestion& question) {
    const std::string_view suffix = ExtensionOf(question.filter);
    return pickers_.SaveFile(QuestionParent(),
                             {FilterText(question.filter), QString::fromUtf8(suffix.data(), suffix.size()),
                              question.startFolder, QString::fromStdString(question.defaultName)});
}

PathAnswer DialogJobHost::Reply(const FolderQuestion& question) {
    return vaultpack::ChooseFolder(pickers_, QuestionParent(), CatalogueText(catalogue_, question.title), false);
}

double DialogJobHost::Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void DialogJobHost::ShowFigures(bool now) {
    constexpr double kRefreshSeconds = 0.5;
    const double time = Now();
    const ProgressFigures figures = tracker_.Figures();
    if (!progress_ || (!now && figures.percent == percentShown_ && figuresShownAt_ &&
                       time - *figuresShownAt_ < kRefreshSeconds)) {
        return;
    }
    figuresShownAt_ = time;
    percentShown_ = figures.percent;
    progress_->SetDetails(QString::fromStdString(ProgressFiguresText(catalogue_, figures)));
}

// Only what changed since the last snapshot reaches the window; the window is
// brought up last, with its texts in place.
void DialogJobHost::Report(const Progress& progress) {
    const ProgressChanges changed = TakeChanges(shown_, progress);
    const double now = Now();
    if (changed.shown) {
        tracker_.Start(now);
    }
    if (changed.bar) {
        tracker_.SetRange(now, progress.range);
    }
    if (changed.position) {
        tracker_.SetPosition(now, progress.position);
    }
    if (changed.amounts) {
        tracker_.SetAmounts(progress.amounts);
    }
    if (changed.position || changed.amounts || changed.shown) {
        // A new bar, new amounts or a new showing are told at once; a moving
        // bar's figures at their own pace.
        ShowFigures(changed.shown || changed.bar || changed.amounts);
    }
    if (!progress_) {
        return;
    }
    if (changed.title && progress.title) {
        progress_->SetTitle(CatalogueText(catalogue_, *progress.title));
    }
    if (changed.cancelCaption && progress.cancelCaption) {
        progress_->SetCancelCaption(CatalogueText(catalogue_, *progress.cancelCaption));
    }
    if (changed.status && progress.status) {
        progress_->SetStatus(QString::fromStdString(RenderMessageLine(catalogue_, *progress.status)));
    }
    if (changed.bar) {
        progress_->SetRange(progress.range);
    }
    if (changed.position) {
        progress_->SetPosition(progress.position);
    }
    if (changed.shown) {
        progress_->ShowInFront();
    }
}

void DialogJobHost::Complete(const JobCompletion& completion) {
    if (onComplete_) {
        onComplete_(completion);
    }
}

}  // namespace vaultpack
