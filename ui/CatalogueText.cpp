#include "ui/CatalogueText.h"

namespace vaultpack {

QString CatalogueText(const MessageCatalogue& catalogue, MessageId id) {
    return QString::fromStdString(catalogue.Load(id));
}

}  // namespace vaultpack
