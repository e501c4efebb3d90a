#pragma once

#include <string>

#include <QDialog>

#include "app/MessageCatalogue.h"

class QLabel;
class QLineEdit;

namespace vaultpack {

// Asks for the password of an encrypted file and shows the file's hint. OK
// is taken only for a password that passes ValidatePassword; otherwise the
// problem is shown in a message box and the dialog stays open. The same
// object may be shown again after a wrong password: the field then still
// holds what was typed, masked, so the user can correct it.
class DecryptionPasswordDialog : public QDialog {
    Q_OBJECT

public:
    explicit DecryptionPasswordDialog(const MessageCatalogue& catalogue, QWidget* parent = nullptr);

    // The hint read from the file, in UTF-8; shown as plain text, "--" when
    // empty.
    void SetHint(const std::string& hint);

    // The password accepted by the last OK, in UTF-8; empty before.
    std::string Password() const { return password_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void TakeTypedPassword();

    const MessageCatalogue& catalogue_;
    QLineEdit* passwordEdit_;
    QLabel* hintLabel_;
    std::string password_;
};

}  // namespace vaultpack
