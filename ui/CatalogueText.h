#pragma once

#include <QString>

#include "app/MessageCatalogue.h"

namespace vaultpack {

// A catalogue text as a QString; the catalogue's UTF-8 bytes are decoded here
// so that no dialog decodes them on its own.
QString CatalogueText(const MessageCatalogue& catalogue, MessageId id);

}  // namespace vaultpack
