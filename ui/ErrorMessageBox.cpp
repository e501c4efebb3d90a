#include "ui/ErrorMessageBox.h"

#include "ui/JobMessageBox.h"

namespace vaultpack {

void ShowErrorMessage(QWidget* parent, const MessageCatalogue& catalogue, MessageId message) {
    ShowJobMessage(parent, catalogue,
                   {MessageId::CaptionError, MessageButtons::Ok, MessageOwner::None, {MessageLine::Text(message)}});
}

}  // namespace vaultpack
