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

// Lays out form above OK (message 169) and Cancel (message 170) at a size
// fixed by the contents. Cancel rejects the dialog; OK's accepted() is left
// to the dialog, which checks the input first.
QDialogButtonBox* LayOutPasswordDialog(QDialog* dialog, QFormLayout* form, const MessageCatalogue& catalogue);

}  // namespace vaultpack
