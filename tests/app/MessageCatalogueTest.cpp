#include <gtest/gtest.h>

#include <string>

#include "app/MessageCatalogue.h"
#include "tests/support/ScopedEnvironmentVariable.h"

namespace vaultpack {
namespace {

using Language = MessageCatalogue::Language;

TEST(MessageCatalogue, EachLanguageReadsItsOwnTable) {
    EXPECT_EQ(MessageCatalogue(Language::English).Load(MessageId::CaptionError), "Error");
    EXPECT_EQ(MessageCatalogue(Language::TraditionalChinese).Load(MessageId::CaptionError), "錯誤");
    EXPECT_EQ(MessageCatalogue(Language::Japanese).Load(MessageId::CaptionError), "エラー");
    EXPECT_EQ(MessageCatalogue(Language::SimplifiedChinese).Load(MessageId::CaptionError), "错误");
}

TEST(MessageCatalogue, IdsWithoutTextGiveEmptyText) {
    const MessageCatalogue catalogue(Language::Japanese);
    for (const std::uint16_t id : {0, 100, 109, 134, 150, 171, 192, 65535}) {
        EXPECT_EQ(catalogue.Load(id), "") << id;
    }
    EXPECT_EQ(catalogue.Load(static_cast<MessageId>(9999)), "");
    EXPECT_EQ(catalogue.Format(static_cast<MessageId>(109), "a", "b"), "");
    EXPECT_EQ(catalogue.FormatPrintfStyle(static_cast<MessageId>(109), "a"), "");
}

TEST(MessageCatalogue, FormatFillsPositionalArgumentsOnce) {
    const MessageCatalogue english(Language::English);
    // Percent signs in a path stay, and an argument is never scanned again.
    EXPECT_EQ(english.Format(MessageId::DecryptOverwriteQuestion, "/home/a/100% done %2.txt"),
              "Decryption's destionation file\n \"/home/a/100% done %2.txt\"\n already exists, overwrite it?");
    EXPECT_EQ(english.Format(MessageId::UnzipOverwriteQuestion, "x%1y%"), "\"x%1y%\" already exists, overwrite it?");
    EXPECT_EQ(english.Format(MessageId::UnzipSummary, "%2", "%1"), "%2 out of %1 files have been unzipped successfully");
    EXPECT_EQ(english.Format(MessageId::UnzipSummary, "0", "12"), "0 out of 12 files have been unzipped successfully");
    // A text without placeholders comes back unchanged.
    EXPECT_EQ(english.Format(MessageId::CaptionError, "x", "y"), "Error");
    EXPECT_EQ(MessageCatalogue(Language::Japanese).Format(MessageId::UnzipSummary, "3", "4"),
              "3 / 4 個のファイルを展開しました");
}

TEST(MessageCatalogue, FormatPrintfStyleTakesTheArgumentLiterally) {
    const MessageCatalogue english(Language::English);
    EXPECT_EQ(english.FormatPrintfStyle(MessageId::StatusDecrypting, "a.ezc"), "Decrypting \"a.ezc\"");
    EXPECT_EQ(english.FormatPrintfStyle(MessageId::StatusUnzipping, "%s%d%n%%"), "Unzipping \"%s%d%n%%\"");
    EXPECT_EQ(MessageCatalogue(Language::Japanese).FormatPrintfStyle(MessageId::StatusUnzipping, "b/c.txt"),
              "\"b/c.txt\" を展開しています");
}

struct LocaleCase {
    const char* locale;
    Language expected;
};

TEST(MessageCatalogue, LanguageForLocaleName) {
    const LocaleCase cases[] = {
        {"", Language::English},
        {"C", Language::English},
        {"POSIX", Language::English},
        {"C.UTF-8", Language::English},
        {"en_US.UTF-8", Language::English},
        {"fr_FR", Language::English},
        {"jam", Language::English},        // a language code that merely starts with "ja"
        {"zhuang", Language::English},     // likewise for "zh"
        {"ja", Language::Japanese},
        {"ja_JP.eucJP", Language::Japanese},
        {"ja_JP.UTF-8@cjknarrow", Language::Japanese},
        {"zh_TW", Language::TraditionalChinese},
        {"zh_TW.Big5", Language::TraditionalChinese},
        {"zh_HK.UTF-8", Language::TraditionalChinese},
        {"zh_MO", Language::TraditionalChinese},
        {"zh-TW", Language::TraditionalChinese},
        {"ZH_tw", Language::TraditionalChinese},
        {"zh_Hant", Language::TraditionalChinese},
        {"zh-Hant-CN", Language::TraditionalChinese},  // the script outranks the region
        {"zh_CN.GB18030", Language::SimplifiedChinese},
        {"zh_SG", Language::SimplifiedChinese},
        {"zh", Language::SimplifiedChinese},
        {"zh_Hans", Language::SimplifiedChinese},
        {"zh_Hans_HK", Language::SimplifiedChinese},
        {"zh_CN@pinyin", Language::SimplifiedChinese},
    };
    for (const LocaleCase& c : cases) {
        EXPECT_EQ(MessageCatalogue::LanguageForLocale(c.locale), c.expected) << '"' << c.locale << '"';
    }
}

struct EnvironmentCase {
    const char* name;
    LocaleEnvironment environment;
    Language expected;
};

TEST(MessageCatalogue, LanguageForEnvironment) {
    const EnvironmentCase cases[] = {
        {"nothing set", {}, Language::English},
        {"LANG alone", {.lang = "ja_JP.UTF-8"}, Language::Japanese},
        {"LC_MESSAGES over LANG", {.lcMessages = "zh_TW.UTF-8", .lang = "ja_JP.UTF-8"}, Language::TraditionalChinese},
        {"LC_ALL over LC_MESSAGES",
         {.lcAll = "zh_CN.UTF-8", .lcMessages = "ja_JP", .lang = "ja_JP"},
         Language::SimplifiedChinese},
        {"LC_ALL C over LANG", {.lcAll = "C", .lang = "ja_JP"}, Language::English},
        {"LANGUAGE over the locale", {.language = "ja", .lang = "zh_TW.UTF-8"}, Language::Japanese},
        {"LANGUAGE first supported entry",
         {.language = "fr_FR:de::zh_HK:ja", .lang = "en_US.UTF-8"},
         Language::TraditionalChinese},
        {"LANGUAGE English entry counts", {.language = "en:ja", .lang = "ja_JP"}, Language::English},
        {"LANGUAGE naming nothing known", {.language = "fr:de", .lang = "ja_JP"}, Language::English},
        {"LANGUAGE ignored in the C locale", {.language = "ja", .lcAll = "C.UTF-8"}, Language::English},
        {"LANGUAGE ignored without a locale", {.language = "ja"}, Language::English},
    };
    for (const EnvironmentCase& c : cases) {
        EXPECT_EQ(MessageCatalogue::LanguageForEnvironment(c.environment), c.expected) << c.name;
    }
}

TEST(MessageCatalogue, SystemLanguageReadsTheProcessEnvironment) {
    const test::ScopedEnvironmentVariable language("LANGUAGE", nullptr);
    const test::ScopedEnvironmentVariable lcAll("LC_ALL", "");
    const test::ScopedEnvironmentVariable lcMessages("LC_MESSAGES", "zh_HK.UTF-8");
    const test::ScopedEnvironmentVariable lang("LANG", "ja_JP.UTF-8");
    EXPECT_EQ(MessageCatalogue::SystemLanguage(), Language::TraditionalChinese);
    const test::ScopedEnvironmentVariable languageList("LANGUAGE", "ja:en");
    EXPECT_EQ(MessageCatalogue::SystemLanguage(), Language::Japanese);
}

}  // namespace
}  // namespace vaultpack
