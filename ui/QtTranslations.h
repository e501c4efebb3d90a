#pragma once

#include "app/MessageCatalogue.h"

class QCoreApplication;

namespace vaultpack {

// Loads Qt's own texts (file dialogs, standard buttons, the context menus of
// text fields) in the catalogue's language, so that they match the
// program's. English needs nothing; a missing translation leaves Qt's
// English. The translator lives as long as the application.
void LoadQtTranslations(QCoreApplication& application, MessageCatalogue::Language language);

}  // namespace vaultpack
