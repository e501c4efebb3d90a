#include "ui/PasswordDialogParts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/PasswordRule.h"
#include "ui/CatalogueText.h"
#include "ui/Utf8ByteLimitValidator.h"

namespace vaultpack {

namespace {
constexpr int kMinimumFieldCharacters = 20;
}  // namespace

QLineEdit* NewPasswordEdit(const QString& objectName, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setEchoMode(QLineEdit::Password);
    LimitToUtf8Bytes(edit, static_cast<qsizetype>(kMaxPasswordLength));
    // Wide enough for a full password's mask characters without scrolling.
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * kMinimumFieldCharacters);
    return edit;
}

QFormLayout* NewPasswordForm() {
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    return form;
}

QDialogButtonBox* LayOutPasswordDialog(QDialog* dialog, QFormLayout* form, const MessageCatalogue& catalogue) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setText(CatalogueText(catalogue, MessageId::Ok));
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setText(CatalogueText(catalogue, MessageId::Cancel));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return buttons;
}

}  // namespace vaultpack
