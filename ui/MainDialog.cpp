#include "ui/MainDialog.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

#include "app/VersionText.h"
#include "jobs/FollowOnUnzip.h"
#include "jobs/Jobs.h"
#include "ui/AboutDialog.h"
#include "ui/ArchiveBuilderDialog.h"
#include "ui/ArchiveWindow.h"
#include "ui/CatalogueText.h"
#include "ui/DialogJobHost.h"
#include "ui/JobMessageBox.h"
#include "ui/PlatformPickers.h"
#include "ui/ProgramIcons.h"
#include "ui/ProgressDialog.h"
#include "ui/controls/IconButton.h"

namespace vaultpack {
namespace {

// The one local file of a drop whose extension (in any case) is `extension`.
std::optional<std::filesystem::path> DroppedFile(const QMimeData* data, const QString& extension) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile()) {
        return std::nullopt;
    }
    const QString path = data->urls().front().toLocalFile();
    if (!path.endsWith(extension, Qt::CaseInsensitive)) {
        return std::nullopt;
    }
    return std::filesystem::path(path.toStdString());
}

// The one local .zip or .ezc file of a drop.
std::optional<std::filesystem::path> DroppedArchive(const QMimeData* data) {
    if (auto archive = DroppedFile(data, QStringLiteral(".zip"))) {
        return archive;
    }
    return DroppedFile(data, QStringLiteral(".ezc"));
}

// The decrypt and unzip windows side by side around the middle of the screen,
// as both may be up at once; the create window in the middle.
void PlaceProgressWindows(ProgressDialog& create, ProgressDialog& decrypt, ProgressDialog& unzip) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QPoint middle = screen->availableGeometry().center();
    const QSize size = create.size();
    constexpr int kGap = 12;
    create.move(middle - QPoint(size.width() / 2, size.height() / 2));
    decrypt.move(middle - QPoint(size.width() + kGap / 2, size.height() / 2));
    unzip.move(middle + QPoint(kGap / 2, -size.height() / 2));
}

}  // namespace

MainDialog::MainDialog(const MessageCatalogue& catalogue, PlatformPickers& pickers, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      catalogue_(catalogue),
      pickers_(pickers),
      createProgress_(std::make_unique<ProgressDialog>()),
      decryptProgress_(std::make_unique<ProgressDialog>()),
      unzipProgress_(std::make_unique<ProgressDialog>()) {
    setObjectName(QStringLiteral("mainDialog"));
    setWindowTitle(QStringLiteral("Vaultpack - v%1").arg(QString::fromStdString(ProgramVersionText().ShortVersion())));
    setWindowIcon(ProgramIcon(icon_names::kApplication));
    setAcceptDrops(true);
    createProgress_->setObjectName(QStringLiteral("createArchiveProgress"));
    decryptProgress_->setObjectName(QStringLiteral("decryptProgress"));
    unzipProgress_->setObjectName(QStringLiteral("unzipProgress"));
    PlaceProgressWindows(*createProgress_, *decryptProgress_, *unzipProgress_);

    auto* frame = new QGroupBox(this);
    createArchiveButton_ = MakeProgramButton(frame, "createArchiveButton", icon_names::kCreateArchive,
                                      CatalogueText(catalogue, MessageId::CreateArchiveButton));
    decryptFileButton_ = MakeProgramButton(frame, "decryptFileButton", icon_names::kDecrypt,
                                    CatalogueText(catalogue, MessageId::DecryptFileButton));
    unzipFileButton_ = MakeProgramButton(frame, "unzipFileButton", icon_names::kUnzip,
                                  CatalogueText(catalogue, MessageId::UnzipFileButton));
    auto* buttons = new QHBoxLayout(frame);
    for (IconButton* button : {createArchiveButton_, decryptFileButton_, unzipFileButton_}) {
        button->setMinimumWidth(96);
        buttons->addWidget(button);
    }
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(frame);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(createArchiveButton_, &IconButton::clicked, this, &MainDialog::OnCreateArchivePressed);
    connect(decryptFileButton_, &IconButton::clicked, this, &MainDialog::OnDecryptPressed);
    connect(unzipFileButton_, &IconButton::clicked, this, &MainDialog::OnUnzipPressed);
    QAction* about = AddAboutAction(this, catalogue);
    auto* openArchive = new QAction(CatalogueText(catalogue, MessageId::OpenArchiveAction), this);
    openArchive->setObjectName(QStringLiteral("openArchiveAction"));
    openArchive->setShortcut(QKeySequence::Open);
    openArchive->setShortcutContext(Qt::WindowShortcut);
    connect(openArchive, &QAction::triggered, this, &MainDialog::OnOpenArchiveChosen);
    insertAction(about, openArchive);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainDialog::OnOpenArchiveChosen() {
    if (const auto file = pickers_.OpenFile(this, FilterText(FileFilter::Zip) + QStringLiteral(";;") +
                                                      FilterText(FileFilter::Ezc))) {
        ArchiveWindow::Open(catalogue_, pickers_, *file);
    }
}

MainDialog::~MainDialog() = default;

void MainDialog::DecryptAtStartup(const std::filesystem::path& container) {
    if (decryptRunning_) {
        return;
    }
    startMode_ = DecryptAtStart;
    for (IconButton* button : {createArchiveButton_, decryptFileButton_, unzipFileButton_}) {
        button->setEnabled(false);
    }
    StartDecrypt(FileJobParams{{container}, {}, false});
}

void MainDialog::OnCreateArchivePressed() {
    // Window-modal: the main window's buttons wait until the builder has
    // closed, while the progress windows of running jobs stay usable.
    ArchiveBuilderDialog builder(catalogue_, pickers_, *createProgress_, this);
    builder.exec();
}

void MainDialog::reject() {
    if ((decryptRunning_ || unzipRunning_) &&
        ShowJobMessage(this, catalogue_,
                       {MessageId::CaptionQuestion, MessageButtons::YesNo, MessageOwner::MainWindow,
                        {MessageLine::Text(MessageId::StopJobsAndQuit)}}) != MessageAnswer::Yes) {
        return;
    }
    Close();
}

void MainDialog::Close() {
    QDialog::reject();
}

void MainDialog::OnDecryptPressed() {
    decryptFileButton_->setEnabled(false);
    if (!decryptRunning_) {
        StartDecrypt(FileJobParams());  // no file: the job asks for one
    }
}

void MainDialog::OnUnzipPressed() {
    unzipFileButton_->setEnabled(false);
    if (!unzipRunning_) {
        StartUnzip(FileJobParams());  // no archive, no folder: the job asks for both
    }
}

void MainDialog::StartDecrypt(FileJobParams params) {
    decryptRunning_ = true;
    StartDesktopJob(JobKind::Decrypt,
                    MakeDesktopJobHost(catalogue_, pickers_, *decryptProgress_, this, nullptr,
                                       [this](const JobCompletion& completion) { OnDecryptCompleted(completion); }),
                    [params = std::move(params)](JobHost& host) { return RunDecryptJob(params, host); }, this,
                    catalogue_);
}

void MainDialog::StartUnzip(FileJobParams params) {
    unzipRunning_ = true;
    StartDesktopJob(JobKind::Unzip,
                    MakeDesktopJobHost(catalogue_, pickers_, *unzipProgress_, this, nullptr,
                                       [this](const JobCompletion& completion) { OnUnzipCompleted(completion); }),
                    [params = std::move(params)](JobHost& host) { return RunUnzipJob(params, host); }, this,
                    catalogue_);
}

void MainDialog::OnDecryptCompleted(const JobCompletion& completion) {
    decryptRunning_ = false;
    decryptFileButton_->setEnabled(true);
    decryptProgress_->hide();
    decryptProgress_->ClearCancel();

    // Reads the container again; one that has vanished meanwhile lets nothing follow.
    const DecryptFollowOn followOn = DecideDecryptFollowOn(completion, unzipRunning_);
    if (followOn.unzipFollows) {
        unzipFileButton_->setEnabled(false);
    }
    if (followOn.startUnzip) {
        StartUnzip(*followOn.startUnzip);
    }
    emit decryptFinished();
    if (startMode_ == DecryptAtStart && followOn.QuitWhenDecryptingAtStart()) {
        Close();
    }
}

void MainDialog::OnUnzipCompleted(const JobCompletion&) {
    unzipRunning_ = false;
    unzipFileButton_->setEnabled(true);
    unzipProgress_->hide();
    unzipProgress_->ClearCancel();
    emit unzipFinished();
    if (startMode_ == DecryptAtStart) {
        Close();
    }
}

void MainDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // A running create job keeps its progress window in front of this one,
    // raised without taking the focus, which would release a button being
    // clicked (see ArchiveOptionsDialog::changeEvent).
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && createProgress_->isVisible()) {
        createProgress_->raise();
    }
}

// With Ctrl held, an archive or container dropped opens in an archive window,
// whatever runs; without, it is decrypted or unzipped as its button would.
void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (DroppedArchive(data) && event->modifiers().testFlag(Qt::ControlModifier)) {
        event->acceptProposedAction();
    } else if ((DroppedFile(data, QStringLiteral(".ezc")) && decryptFileButton_->isEnabled()) ||
        (DroppedFile(data, QStringLiteral(".zip")) && unzipFileButton_->isEnabled())) {
        event->acceptProposedAction();
    }
}

void MainDialog::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (const auto archive = DroppedArchive(data); archive && event->modifiers().testFlag(Qt::ControlModifier)) {
        ArchiveWindow::Open(catalogue_, pickers_, *archive);
    } else if (const auto container = DroppedFile(data, QStringLiteral(".ezc")); container && decryptFileButton_->isEnabled()) {
        decryptFileButton_->setEnabled(false);
        StartDecrypt(FileJobParams{{*container}, {}, false});
    } else if (const auto archive = DroppedFile(data, QStringLiteral(".zip"));
               archive && unzipFileButton_->isEnabled()) {
        unzipFileButton_->setEnabled(false);
        StartUnzip(FileJobParams{{*archive}, {}, false});  // the job asks for the folder
    } else {
        return;
    }
    event->acceptProposedAction();
}

}  // namespace vaultpack
