#include "ui/ProgressDialog.h"

#include <algorithm>
#include <climits>

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ProgramIcons.h"

namespace vaultpack {

ProgressDialog::ProgressDialog()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      statusLabel_(new QLabel(this)),
      progressBar_(new QProgressBar(this)),
      detailsLabel_(new QLabel(this)),
      cancelButton_(new QPushButton(this)) {
    setObjectName(QStringLiteral("progressDialog"));
    setWindowIcon(ProgramIcon(icon_names::kApplication));
    setModal(false);

    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    statusLabel_->setAlignment(Qt::AlignCenter);
    statusLabel_->setWordWrap(true);
    // File names in the status come from the disk; never read them as markup.
    statusLabel_->setTextFormat(Qt::PlainText);
    statusLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);

    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->setTextVisible(false);
    progressBar_->setRange(0, 0);

    detailsLabel_->setObjectName(QStringLiteral("detailsLabel"));
    detailsLabel_->setAlignment(Qt::AlignCenter);
    detailsLabel_->setWordWrap(true);
    detailsLabel_->setTextFormat(Qt::PlainText);
    // Room for its two lines even while empty, so the window does not jump.
    detailsLabel_->setMinimumHeight(2 * detailsLabel_->fontMetrics().lineSpacing());

    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    // No default button: Enter must not cancel the job.
    cancelButton_->setAutoDefault(false);
    cancelButton_->setDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, &ProgressDialog::reject);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(cancelButton_);
    buttonRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusLabel_, 1);
    layout->addWidget(progressBar_);
    layout->addWidget(detailsLabel_);
    layout->addLayout(buttonRow);
    setFixedSize(330, 220);
}

void ProgressDialog::SetTitle(const QString& title) {
    setWindowTitle(title);
}

void ProgressDialog::SetStatus(const QString& status) {
    statusLabel_->setText(status);
}

void ProgressDialog::SetDetails(const QString& details) {
    detailsLabel_->setText(details);
}

void ProgressDialog::SetCancelCaption(const QString& caption) {
    cancelButton_->setText(caption);
}

void ProgressDialog::SetRange(quint32 high) {
    high_ = high;
    rangeShift_ = high > static_cast<quint32>(INT_MAX) ? 1 : 0;
    progressBar_->setRange(0, static_cast<int>(high >> rangeShift_));
}

void ProgressDialog::SetPosition(quint32 position) {
    // QProgressBar ignores a value outside its range; show it as full instead.
    progressBar_->setValue(static_cast<int>(std::min(position, high_) >> rangeShift_));
}

void ProgressDialog::ShowInFront() {
    show();
    raise();
    activateWindow();
}

void ProgressDialog::reject() {
    cancelRequested_->store(true, std::memory_order_relaxed);
}

void ProgressDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
    reject();
    event->ignore();
}

}  // namespace vaultpack
