#pragma once

#include <QDialog>

#include "app/MessageCatalogue.h"

class QAction;

namespace vaultpack {

// The modal About box: the application icon, the product name and the full
// dotted version with its build stamp, and an OK button. OK and Escape close
// it.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(const MessageCatalogue& catalogue, QWidget* parent = nullptr);

    // "Vaultpack - \n\tbuild <dotted version>", as shown.
    static QString VersionLine();
};

// Gives window an About entry (message 101) in its context menu and on F1;
// it opens an AboutDialog modally over window. Returns the action, owned by
// window, or nullptr when message 101 is empty and nothing was added.
// catalogue must outlive window.
QAction* AddAboutAction(QWidget* window, const MessageCatalogue& catalogue);

}  // namespace vaultpack
