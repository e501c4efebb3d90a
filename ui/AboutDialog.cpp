#include "ui/AboutDialog.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>

#include "app/VersionText.h"
#include "ui/CatalogueText.h"
#include "ui/ProgramIcons.h"

namespace vaultpack {

namespace {

constexpr int kIconSize = 48;

QString ProductName() {
    return QStringLiteral("Vaultpack");
}

// F1 and whatever the platform binds to help; the same key twice would make
// the shortcut ambiguous and fire nothing.
QList<QKeySequence> AboutShortcuts() {
    QList<QKeySequence> shortcuts = QKeySequence::keyBindings(QKeySequence::HelpContents);
    if (!shortcuts.contains(QKeySequence(Qt::Key_F1))) {
        shortcuts.append(QKeySequence(Qt::Key_F1));
    }
    return shortcuts;
}

}  // namespace

AboutDialog::AboutDialog(const MessageCatalogue& catalogue, QWidget* parent) : QDialog(parent) {
    setWindowModality(Qt::WindowModal);  // blocks the window it belongs to, no other
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(CatalogueText(catalogue, MessageId::AboutTitle) + QLatin1Char(' ') + ProductName());
    const QIcon applicationIcon = ProgramIcon(icon_names::kApplication);
    setWindowIcon(applicationIcon);

    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setPixmap(applicationIcon.pixmap(QSize(kIconSize, kIconSize), devicePixelRatioF()));
    iconLabel->setAlignment(Qt::AlignTop);

    auto* versionLabel = new QLabel(VersionLine(), this);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    versionLabel->setTextFormat(Qt::PlainText);
    versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A plain label expands a tab to the next 8-character stop: an indent.
    versionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Vertical, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setText(CatalogueText(catalogue, MessageId::Ok));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(16);
    layout->addWidget(iconLabel);
    layout->addWidget(versionLabel, 1);
    layout->addWidget(buttons, 0, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString AboutDialog::VersionLine() {
    return ProductName() + QStringLiteral(" - \n\tbuild ") +
           QString::fromStdString(ProgramVersionText().DottedVersion());
}

QAction* AddAboutAction(QWidget* window, const MessageCatalogue& catalogue) {
    const QString text = CatalogueText(catalogue, MessageId::AboutMenuEntry);
    if (text.isEmpty()) {
        return nullptr;
    }
    auto* action = new QAction(text, window);
    action->setObjectName(QStringLiteral("aboutAction"));
    action->setShortcuts(AboutShortcuts());
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, window, [window, &catalogue] {
        AboutDialog dialog(catalogue, window);
        dialog.exec();
    });
    window->addAction(action);
    window->setContextMenuPolicy(Qt::ActionsContextMenu);
    return action;
}

}  // namespace vaultpack
