#include "ui/JobMessageBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

#include "app/MessageRendering.h"
#include "ui/CatalogueText.h"

namespace vaultpack {
namespace {

QMessageBox::Icon IconFor(MessageId caption) {
    switch (caption) {
        case MessageId::CaptionError: return QMessageBox::Critical;
        case MessageId::CaptionQuestion: return QMessageBox::Question;
        default: return QMessageBox::Information;
    }
}

struct ButtonChoice {
    QMessageBox::StandardButton button;
    MessageId caption;
    MessageAnswer answer;
};

std::vector<ButtonChoice> ButtonsFor(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok: return {{QMessageBox::Ok, MessageId::Ok, MessageAnswer::Ok}};
        case MessageButtons::YesNo:
            return {{QMessageBox::Yes, MessageId::Yes, MessageAnswer::Yes},
                    {QMessageBox::No, MessageId::No, MessageAnswer::No}};
        case MessageButtons::YesNoCancel:
            return {{QMessageBox::Yes, MessageId::Yes, MessageAnswer::Yes},
                    {QMessageBox::No, MessageId::No, MessageAnswer::No},
                    {QMessageBox::Cancel, MessageId::Cancel, MessageAnswer::Cancel}};
        case MessageButtons::YesNoAll:
            return {{QMessageBox::Yes, MessageId::Yes, MessageAnswer::Yes},
                    {QMessageBox::YesToAll, MessageId::YesToAll, MessageAnswer::YesToAll},
                    {QMessageBox::No, MessageId::No, MessageAnswer::No},
                    {QMessageBox::NoToAll, MessageId::NoToAll, MessageAnswer::NoToAll}};
        case MessageButtons::YesNoAllCancel:
            return {{QMessageBox::Yes, MessageId::Yes, MessageAnswer::Yes},
                    {QMessageBox::YesToAll, MessageId::YesToAll, MessageAnswer::YesToAll},
                    {QMessageBox::No, MessageId::No, MessageAnswer::No},
                    {QMessageBox::NoToAll, MessageId::NoToAll, MessageAnswer::NoToAll},
                    {QMessageBox::Cancel, MessageId::Cancel, MessageAnswer::Cancel}};
    }
    return {};
}

}  // namespace

std::unique_ptr<QMessageBox> MakeJobMessageBox(QWidget* parent, const MessageCatalogue& catalogue,
                                               const MessageBoxRequest& request) {
    auto box = std::make_unique<QMessageBox>(IconFor(request.caption), CatalogueText(catalogue, request.caption),
                                             QString::fromStdString(RenderMessageLines(catalogue, request.lines)),
                                             QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("jobMessageBox"));
    // Blocks its owner only (nothing without one): another job's progress
    // window keeps its Cancel.
    box->setWindowModality(Qt::WindowModal);
    // Paths and names come from disks and archives; never read them as markup.
    box->setTextFormat(Qt::PlainText);
    // Ctrl+C copies what the box says, so that a path or a reason can be
    // pasted into a report or a search.
    auto* copy = new QShortcut(QKeySequence::Copy, box.get());
    QObject::connect(copy, &QShortcut::activated, box.get(),
                     [text = box->text()] { QGuiApplication::clipboard()->setText(text); });
    const std::vector<ButtonChoice> choices = ButtonsFor(request.buttons);
    for (const ButtonChoice& choice : choices) {
        box->addButton(choice.button)->setText(CatalogueText(catalogue, choice.caption));
    }
    // Escape and the close box take the last button: the way out.
    box->setEscapeButton(box->button(choices.back().button));
    return box;
}

MessageAnswer ShowJobMessage(QWidget* parent, const MessageCatalogue& catalogue, const MessageBoxRequest& request) {
    const std::unique_ptr<QMessageBox> box = MakeJobMessageBox(parent, catalogue, request);
    box->exec();
    const QMessageBox::StandardButton clicked = box->standardButton(box->clickedButton());
    const std::vector<ButtonChoice> choices = ButtonsFor(request.buttons);
    for (const ButtonChoice& choice : choices) {
        if (choice.button == clicked) {
            return choice.answer;
        }
    }
    return choices.back().answer;
}

}  // namespace vaultpack
