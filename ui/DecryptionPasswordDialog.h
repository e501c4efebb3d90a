#pragma once

#include <string>

#include <QDialog>

#include "app/MessageCatalogue.h"

class QFormLayout;
class QLabel;
class QLineEdit;

namespace vaultpack {

// Asks for the password of an encrypted file and shows the file's hint; for
// a ZIP archive (SetForArchive) there is no hint row, and the password is
// taken as other archivers take it (ValidateArchivePassword). OK is taken
// only for a password that passes the rule; otherwise the
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
    void SetForArchive(bool forArchive);

    // The password accepted by the last OK, in UTF-8; empty before.
    std::string Password() const { return password_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void TakeTypedPassword();

    const MessageCatalogue& catalogue_;
    QLineEdit* passwordEdit_;
    QLabel* hintLabel_;
    QFormLayout* form_;
    bool forArchive_ = false;
    std::string password_;
};

}  // namespace vaultpack
