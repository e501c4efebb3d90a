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
    : catalogue_(catalogue),
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

std::optional<std::filesystem::path> DialogJobHost::ChooseFileToOpen(FileFilter filter) {
    return pickers_.OpenFile(QuestionParent(), FilterText(filter));
}

std::optional<std::filesystem::path> DialogJobHost::ChooseFileToSave(FileFilter filter, const std::string& defaultName,
                                                                     const std::filesystem::path& startFolder) {
    const std::string_view suffix = ExtensionOf(filter);
    return pickers_.SaveFile(QuestionParent(), {FilterText(filter), QString::fromUtf8(suffix.data(), suffix.size()),
                                                startFolder, QString::fromStdString(defaultName)});
}

std::optional<std::filesystem::path> DialogJobHost::ChooseFolder(MessageId title) {
    return vaultpack::ChooseFolder(pickers_, QuestionParent(), CatalogueText(catalogue_, title), false);
}

std::optional<std::string> DialogJobHost::AskPassword(const std::string& hint) {
    if (!passwordDialog_) {
        passwordDialog_ = new DecryptionPasswordDialog(catalogue_, QuestionParent());
    }
    passwordDialog_->SetHint(hint);
    if (passwordDialog_->exec() != QDialog::Accepted || !passwordDialog_) {
        return std::nullopt;
    }
    return passwordDialog_->Password();
}

MessageAnswer DialogJobHost::ShowMessage(const MessageBoxRequest& request) {
    return ShowJobMessage(OwnerFor(request.owner), catalogue_, request);
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

void DialogJobHost::ShowProgress() {
    tracker_.Start(Now());
    ShowFigures(true);
    if (progress_) {
        progress_->ShowInFront();
    }
}

void DialogJobHost::SetProgressTitle(MessageId title) {
    if (progress_) {
        progress_->SetTitle(CatalogueText(catalogue_, title));
    }
}

void DialogJobHost::SetStatus(const MessageLine& status) {
    if (progress_) {
        progress_->SetStatus(QString::fromStdString(RenderMessageLine(catalogue_, status)));
    }
}

void DialogJobHost::SetCancelCaption(MessageId caption) {
    if (progress_) {
        progress_->SetCancelCaption(CatalogueText(catalogue_, caption));
    }
}

void DialogJobHost::SetAmounts(const ProgressAmounts& amounts) {
    // Amounts come once per file or entry, coalesced by QtJobHost.
    tracker_.SetAmounts(amounts);
    ShowFigures(true);
}

void DialogJobHost::SetRange(std::uint32_t high) {
    tracker_.SetRange(Now(), high);
    ShowFigures(true);
    if (progress_) {
        progress_->SetRange(high);
    }
}

void DialogJobHost::SetPosition(std::uint32_t position) {
    tracker_.SetPosition(Now(), position);
    ShowFigures(false);
    if (progress_) {
        progress_->SetPosition(position);
    }
}

bool DialogJobHost::CancelRequested() const {
    return cancelFlag_->load(std::memory_order_relaxed);
}

void DialogJobHost::Complete(const JobCompletion& completion) {
    if (onComplete_) {
        onComplete_(completion);
    }
}

}  // namespace vaultpack
