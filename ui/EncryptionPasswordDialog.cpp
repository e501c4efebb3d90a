#include "ui/EncryptionPasswordDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/PasswordRule.h"
#include "ui/CatalogueText.h"
#include "ui/ErrorMessageBox.h"
#include "ui/PasswordDialogParts.h"
#include "ui/ProgramIcons.h"
#include "ui/Utf8ByteLimitValidator.h"

namespace vaultpack {

EncryptionPasswordDialog::EncryptionPasswordDialog(const MessageCatalogue& catalogue, QWidget* parent)
    : QDialog(parent),
      catalogue_(catalogue),
      passwordEdit_(NewPasswordEdit(QStringLiteral("passwordEdit"), this)),
      retypedPasswordEdit_(NewPasswordEdit(QStringLiteral("retypedPasswordEdit"), this)),
      hintEdit_(new QLineEdit(this)),
      showPasswordCheckBox_(new QCheckBox(CatalogueText(catalogue, MessageId::ShowPassword), this)) {
    setWindowTitle(CatalogueText(catalogue, MessageId::EncryptionPasswordTitle));
    setWindowIcon(ProgramIcon(icon_names::kApplication));

    hintEdit_->setObjectName(QStringLiteral("hintEdit"));
    setWindowModality(Qt::WindowModal);  // blocks the window it belongs to, no other
    LimitToUtf8Bytes(hintEdit_, static_cast<qsizetype>(kMaxHintLength));
    showPasswordCheckBox_->setObjectName(QStringLiteral("showPasswordCheckBox"));
    connect(showPasswordCheckBox_, &QCheckBox::toggled, this, &EncryptionPasswordDialog::ShowPasswordsInClear);

    auto* form = NewPasswordForm();
    form->addRow(CatalogueText(catalogue, MessageId::EnterPasswordLabel), passwordEdit_);
    form->addRow(CatalogueText(catalogue, MessageId::RetypePasswordLabel), retypedPasswordEdit_);
    form->addRow(CatalogueText(catalogue, MessageId::HintLabel), hintEdit_);
    // The container's header keeps the hint in clear: it must not give the password away.
    auto* hintNote = new QLabel(CatalogueText(catalogue, MessageId::HintIsReadable), this);
    hintNote->setObjectName(QStringLiteral("hintNote"));
    hintNote->setWordWrap(true);
    hintNote->setEnabled(false);  // drawn as a quiet note
    form->addRow(QString(), hintNote);
    form->addRow(QString(), showPasswordCheckBox_);

    QDialogButtonBox* buttons = LayOutPasswordDialog(this, form, catalogue);
    connect(buttons, &QDialogButtonBox::accepted, this, &EncryptionPasswordDialog::TakeTypedPassword);
}

void EncryptionPasswordDialog::TakeTypedPassword() {
    const std::string password = passwordEdit_->text().toStdString();
    if (const auto problem = ValidateNewPassword(password, retypedPasswordEdit_->text().toStdString())) {
        ShowErrorMessage(this, catalogue_, *problem);
        return;
    }
    password_ = password;
    hint_ = hintEdit_->text().toStdString();
    accept();
}

void EncryptionPasswordDialog::ShowPasswordsInClear(bool inClear) {
    const auto mode = inClear ? QLineEdit::Normal : QLineEdit::Password;
    passwordEdit_->setEchoMode(mode);
    retypedPasswordEdit_->setEchoMode(mode);
}

}  // namespace vaultpack
