#pragma once

#include <QString>

#include "app/MessageCatalogue.h"

class QDialog;
class QDialogButtonBox;
class QFormLayout;
class QLineEdit;
class QWidget;

namespace vaultpack {

// The pieces both password dialogs are made of, so that they look and limit
// their input alike.

// A masked edit that takes at most kMaxPasswordLength UTF-8 bytes.
QLineEdit* NewPasswordEdit(const QString& objectName, QWidget* parent);

// A form whose labels sit right-aligned beside their fields.
QFormLayout* NewPasswordForm();

// OK (message 169) and Cancel (message 170), Cancel wired to reject the
// dialog; OK's accepted() is left to the dialog, which checks first.
QDialogButtonBox* NewOkCancelButtons(const MessageCatalogue& catalogue, QDialog* dialog);

}  // namespace vaultpack
