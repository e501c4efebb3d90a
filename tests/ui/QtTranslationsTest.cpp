// Qt's own texts (standard buttons, file dialogs) follow the catalogue's
// language; the translations come with the runtime packages.

#include "ui/QtTranslations.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTranslator>

namespace vaultpack {
namespace {

using Language = MessageCatalogue::Language;

// Qt's caption of a standard Cancel button once `language` is loaded.
QString CancelCaption(Language language) {
    LoadQtTranslations(*QCoreApplication::instance(), language);
    const QString caption = QCoreApplication::translate("QPlatformTheme", "Cancel");
    for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    return caption;
}

TEST(QtTranslations, StandardTextsInTheCataloguesLanguage) {
    const std::pair<Language, const char*> rows[] = {
        {Language::English, "Cancel"},
        {Language::TraditionalChinese, "取消"},
        {Language::Japanese, "キャンセル"},
        {Language::SimplifiedChinese, "取消"},
    };
    for (const auto& [language, caption] : rows) {
        EXPECT_EQ(CancelCaption(language).toStdString(), caption) << static_cast<int>(language);
    }
}

}  // namespace
}  // namespace vaultpack
