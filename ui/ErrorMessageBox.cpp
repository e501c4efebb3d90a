#include "ui/ErrorMessageBox.h"

#include <QAbstractButton>
#include <QMessageBox>

#include "ui/CatalogueText.h"

namespace vaultpack {

void ShowErrorMessage(QWidget* parent, const MessageCatalogue& catalogue, MessageId message) {
    QMessageBox box(QMessageBox::Critical, CatalogueText(catalogue, MessageId::CaptionError),
                    CatalogueText(catalogue, message), QMessageBox::Ok, parent);
    // The catalogue's texts never carry markup; a '<' must show as itself.
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(CatalogueText(catalogue, MessageId::Ok));
    box.exec();
}

}  // namespace vaultpack
