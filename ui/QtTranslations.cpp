#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vaultpack {
namespace {

QString QtLocaleName(MessageCatalogue::Language language) {
    switch (language) {
        case MessageCatalogue::Language::TraditionalChinese: return QStringLiteral("zh_TW");
        case MessageCatalogue::Language::Japanese: return QStringLiteral("ja");
        case MessageCatalogue::Language::SimplifiedChinese: return QStringLiteral("zh_CN");
        case MessageCatalogue::Language::English: break;
    }
    return {};
}

}  // namespace

void LoadQtTranslations(QCoreApplication& application, MessageCatalogue::Language language) {
    const QString locale = QtLocaleName(language);
    if (locale.isEmpty()) {
        return;
    }
    auto* translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_") + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

}  // namespace vaultpack
