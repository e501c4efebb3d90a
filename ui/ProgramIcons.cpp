#include "ui/ProgramIcons.h"

#include <QFile>

#include "ui/controls/IconButton.h"

// The resource lives in a static library, so nothing would pull its
// registration into the program; naming it here does.
static void RegisterIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace vaultpack {

QIcon ProgramIcon(const QString& name) {
    [[maybe_unused]] static const bool registered = (RegisterIconResources(), true);
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    if (!QFile::exists(path)) {
        return {};
    }
    return QIcon(path);
}

IconButton* MakeProgramButton(QWidget* parent, const char* objectName, const char* icon, const QString& caption) {
    auto* button = new IconButton(ProgramIcon(QString::fromLatin1(icon)), caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->SetAlign(IconButton::IconAbove);
    return button;
}

}  // namespace vaultpack
