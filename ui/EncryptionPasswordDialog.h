#pragma once

#include <string>

#include <QDialog>

#include "app/MessageCatalogue.h"

class QCheckBox;
class QLineEdit;

namespace vaultpack {

// Asks for a new password, typed twice, and an optional hint. OK is taken
// only for a password that passes ValidateNewPassword; otherwise the problem
// is shown in a message box and the dialog stays open with the fields as
// typed. The password fields take at most kMaxPasswordLength UTF-8 bytes, the
// hint kMaxHintLength.
class EncryptionPasswordDialog : public QDialog {
    Q_OBJECT

public:
    explicit EncryptionPasswordDialog(const MessageCatalogue& catalogue, QWidget* parent = nullptr);

    // The password and hint accepted by the last OK, in UTF-8; empty before.
    std::string Password() const { return password_; }
    std::string Hint() const { return hint_; }

private:
    void TakeTypedPassword();
    void ShowPasswordsInClear(bool inClear);

    const MessageCatalogue& catalogue_;
    QLineEdit* passwordEdit_;
    QLineEdit* retypedPasswordEdit_;
    QLineEdit* hintEdit_;
    QCheckBox* showPasswordCheckBox_;
    std::string password_;
    std::string hint_;
};

}  // namespace vaultpack
