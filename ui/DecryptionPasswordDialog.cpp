#include "ui/DecryptionPasswordDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/PasswordRule.h"
#include "ui/CatalogueText.h"
#include "ui/ErrorMessageBox.h"
#include "ui/PasswordDialogParts.h"
#include "ui/Utf8ByteLimitValidator.h"
#include "ui/ProgramIcons.h"

namespace vaultpack {

DecryptionPasswordDialog::DecryptionPasswordDialog(const MessageCatalogue& catalogue, QWidget* parent)
    : QDialog(parent),
      catalogue_(catalogue),
      passwordEdit_(NewPasswordEdit(QStringLiteral("passwordEdit"), this)),
      hintLabel_(new QLabel(this)) {
    setWindowTitle(CatalogueText(catalogue, MessageId::DecryptionPasswordTitle));
    setWindowIcon(ProgramIcon(icon_names::kApplication));

    hintLabel_->setObjectName(QStringLiteral("hintLabel"));
    setWindowModality(Qt::WindowModal);  // blocks the window it belongs to, no other
    // The hint comes from the file: whatever it holds is shown as typed,
    // never interpreted as markup or a link.
    hintLabel_->setTextFormat(Qt::PlainText);
    hintLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SetHint({});

    form_ = NewPasswordForm();
    form_->addRow(CatalogueText(catalogue, MessageId::EnterPasswordLabel), passwordEdit_);
    form_->addRow(CatalogueText(catalogue, MessageId::HintLabel), hintLabel_);

    QDialogButtonBox* buttons = LayOutPasswordDialog(this, form_, catalogue);
    connect(buttons, &QDialogButtonBox::accepted, this, &DecryptionPasswordDialog::TakeTypedPassword);
}

void DecryptionPasswordDialog::SetHint(const std::string& hint) {
    hintLabel_->setText(hint.empty() ? QStringLiteral("--") : QString::fromStdString(hint));
}

void DecryptionPasswordDialog::SetForArchive(bool forArchive) {
    if (forArchive == forArchive_) {
        return;
    }
    forArchive_ = forArchive;
    form_->setRowVisible(hintLabel_, !forArchive);
    LimitToUtf8Bytes(passwordEdit_,
                     static_cast<qsizetype>(forArchive ? kMaxArchivePasswordLength : kMaxPasswordLength));
    adjustSize();
}

void DecryptionPasswordDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Shown again after a wrong password: the old text is selected, so typing
    // replaces it and the arrow keys keep it for a small correction.
    passwordEdit_->setFocus();
    passwordEdit_->selectAll();
}

void DecryptionPasswordDialog::TakeTypedPassword() {
    const std::string password = passwordEdit_->text().toStdString();
    if (const auto problem = forArchive_ ? ValidateArchivePassword(password) : ValidatePassword(password)) {
        ShowErrorMessage(this, catalogue_, *problem);
        return;
    }
    password_ = password;
    accept();
}

}  // namespace vaultpack
