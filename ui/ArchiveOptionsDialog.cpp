#include "ui/ArchiveOptionsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "jobs/AbandonableJobHost.h"
#include "jobs/Jobs.h"
#include "ui/CatalogueText.h"
#include "ui/DialogJobHost.h"
#include "ui/EncryptionPasswordDialog.h"
#include "ui/JobMessageBox.h"
#include "ui/ProgramIcons.h"
#include "ui/ProgressDialog.h"

namespace vaultpack {
namespace {

// A group box holding its widgets one below the other.
QGroupBox* MakeGroup(const QString& title, std::initializer_list<QWidget*> widgets, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(group);
    for (QWidget* widget : widgets) {
        layout->addWidget(widget);
    }
    return group;
}

}  // namespace

ArchiveOptionsDialog::ArchiveOptionsDialog(const MessageCatalogue& catalogue, PlatformPickers& pickers,
                                           ProgressDialog& progress, std::vector<ArchiveItem> items, QWidget* parent)
    : QDialog(parent),
      catalogue_(catalogue),
      pickers_(pickers),
      progress_(progress),
      items_(std::move(items)),
      options_(items_.size() > 1) {
    setObjectName(QStringLiteral("archiveOptionsDialog"));
    setWindowModality(Qt::WindowModal);  // blocks the window it belongs to, no other
    setWindowTitle(CatalogueText(catalogue, MessageId::CreateArchiveTitle));
    setWindowIcon(ProgramIcon(icon_names::kApplication));
    const bool multiple = options_.Multiple();
    encryptCheckBox_ = new QCheckBox(
        CatalogueText(catalogue, multiple ? MessageId::EncryptZippedFile : MessageId::EncryptFileOption), this);
    encryptCheckBox_->setObjectName(QStringLiteral("encryptCheckBox"));
    zipCheckBox_ =
        new QCheckBox(CatalogueText(catalogue, multiple ? MessageId::ZipFilesOption : MessageId::ZipFileOption), this);
    zipCheckBox_->setObjectName(QStringLiteral("zipCheckBox"));
    // Below Zip, shown while it is checked: the ZIP itself protected with the
    // password, for whoever opens it with another archiver.
    aesCheckBox_ = new QCheckBox(CatalogueText(catalogue, MessageId::ProtectZipWithAes), this);
    aesCheckBox_->setObjectName(QStringLiteral("aesCheckBox"));
    aesNote_ = new QLabel(CatalogueText(catalogue, MessageId::AesHintNotStored), this);
    aesNote_->setObjectName(QStringLiteral("aesNote"));
    aesNote_->setWordWrap(true);
    aesNote_->setEnabled(false);  // drawn as a quiet note
    encryptThenZipButton_ = new QRadioButton(CatalogueText(catalogue, MessageId::EncryptThenZip), this);
    encryptThenZipButton_->setObjectName(QStringLiteral("encryptThenZipButton"));
    zipThenEncryptButton_ = new QRadioButton(CatalogueText(catalogue, MessageId::ZipThenEncrypt), this);
    zipThenEncryptButton_->setObjectName(QStringLiteral("zipThenEncryptButton"));

    QGroupBox* optionsGroup = MakeGroup(CatalogueText(catalogue, MessageId::Options),
                                        {encryptCheckBox_, zipCheckBox_, aesCheckBox_, aesNote_}, this);
    orderGroup_ = MakeGroup(CatalogueText(catalogue, MessageId::OperationOrder),
                            {encryptThenZipButton_, zipThenEncryptButton_}, this);
    orderGroup_->setObjectName(QStringLiteral("orderGroup"));

    auto* buttons = new QDialogButtonBox(this);
    okButton_ = buttons->addButton(CatalogueText(catalogue, MessageId::Ok), QDialogButtonBox::AcceptRole);
    okButton_->setObjectName(QStringLiteral("okButton"));
    cancelButton_ = buttons->addButton(CatalogueText(catalogue, MessageId::Cancel), QDialogButtonBox::RejectRole);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ArchiveOptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ArchiveOptionsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    optionsGroup->setMinimumWidth(200);
    layout->addWidget(optionsGroup);
    layout->addWidget(orderGroup_);
    layout->addWidget(buttons);
    // The window takes the size of what it shows: it grows when the order
    // group appears below the options and shrinks when it goes.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(encryptCheckBox_, &QCheckBox::clicked, this, &ArchiveOptionsDialog::OnEncryptClicked);
    connect(zipCheckBox_, &QCheckBox::clicked, this, &ArchiveOptionsDialog::OnZipClicked);
    connect(aesCheckBox_, &QCheckBox::clicked, this, &ArchiveOptionsDialog::OnAesClicked);
    connect(encryptThenZipButton_, &QRadioButton::toggled, this,
            [this](bool checked) { options_.SetEncryptFirst(checked); });
    ShowOptions();
}

ArchiveOptionsDialog::~ArchiveOptionsDialog() {
    if (runningJob_) {
        runningJob_->Abandon();
    }
}

void ArchiveOptionsDialog::ShowOptions() {
    encryptCheckBox_->setChecked(options_.Encrypt());
    zipCheckBox_->setChecked(options_.Zip());
    aesCheckBox_->setVisible(options_.AesShown());
    aesCheckBox_->setChecked(options_.Aes());
    aesNote_->setVisible(options_.Aes());
    orderGroup_->setVisible(options_.OrderGroupShown());
    (options_.EncryptFirst() ? encryptThenZipButton_ : zipThenEncryptButton_)->setChecked(true);
    okButton_->setEnabled(options_.OkEnabled() && !runningJob_);
}

void ArchiveOptionsDialog::OnEncryptClicked(bool checked) {
    if (!checked) {
        options_.UncheckEncrypt();
    } else {
        EncryptionPasswordDialog passwordDialog(catalogue_, this);
        if (passwordDialog.exec() == QDialog::Accepted) {
            options_.CheckEncrypt(std::pair(passwordDialog.Password(), passwordDialog.Hint()));
        } else {
            options_.CheckEncrypt(std::nullopt);
        }
    }
    ShowOptions();
}

void ArchiveOptionsDialog::OnAesClicked(bool checked) {
    if (!checked) {
        options_.UncheckAes();
    } else if (options_.HasPassword()) {
        options_.CheckAes(std::nullopt);
    } else {
        EncryptionPasswordDialog passwordDialog(catalogue_, this);
        options_.CheckAes(passwordDialog.exec() == QDialog::Accepted ? std::optional(passwordDialog.Password())
                                                                      : std::nullopt);
    }
    ShowOptions();
}

void ArchiveOptionsDialog::OnZipClicked(bool checked) {
    if (!options_.SetZip(checked)) {
        ShowJobMessage(this, catalogue_,
                       {MessageId::CaptionInformation, MessageButtons::Ok, MessageOwner::None,
                        {MessageLine::Text(MessageId::CompressionRequired)}});
    }
    ShowOptions();
}

void ArchiveOptionsDialog::accept() {
    okButton_->setEnabled(false);
    if (runningJob_ || !options_.OkEnabled()) {
        return;
    }
    runningJob_ = std::make_shared<AbandonableJobHost>(
        MakeDesktopJobHost(catalogue_, pickers_, progress_, this, this,
                           [this](const JobCompletion& completion) { OnJobCompleted(completion); }));
    StartDesktopJob(
        JobKind::CreateArchive, runningJob_,
        [params = options_.JobRecord(items_)](JobHost& host) { return RunCreateArchiveJob(params, host); }, this,
        catalogue_);
}

void ArchiveOptionsDialog::OnJobCompleted(const JobCompletion& completion) {
    runningJob_.reset();
    progress_.hide();
    progress_.ClearCancel();
    emit jobFinished();
    // Only an archive that was made closes the dialog (and the builder with
    // it), also one made without the files the user chose to leave out; after
    // a cancel or a failure the user's list stays for another try.
    if (!JobDelivered(completion.outcome)) {
        ShowOptions();
        activateWindow();
        return;
    }
    QDialog::accept();
}

void ArchiveOptionsDialog::reject() {
    if (runningJob_) {
        // The job cannot be stopped by force; abandoned, it shows nothing
        // more, winds down at its next cancel check and removes its files.
        runningJob_->Abandon();
        runningJob_.reset();
    }
    progress_.hide();
    progress_.ClearCancel();
    QDialog::reject();
}

void ArchiveOptionsDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // The job's progress window stays in front of this one. Raised only, not
    // activated: a click activates this window before the button is released,
    // and taking the focus away then would release the button unclicked.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && runningJob_ && progress_.isVisible()) {
        progress_.raise();
    }
}

}  // namespace vaultpack
