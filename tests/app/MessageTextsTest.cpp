#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/MessageCatalogue.h"

namespace vaultpack {
namespace {

using Language = MessageCatalogue::Language;

constexpr Language kLanguages[] = {
    Language::English, Language::TraditionalChinese, Language::Japanese, Language::SimplifiedChinese};

// Every number given to an enumerator in MessageId.h, read from the header
// itself so that an id added there without texts is noticed.
std::set<std::uint16_t> IdsDeclaredInEnum() {
    std::ifstream header(VAULTPACK_MESSAGE_ID_HEADER);
    std::stringstream content;
    content << header.rdbuf();
    const std::string text = content.str();
    const std::regex enumerator(R"(\b[A-Z][A-Za-z]*\s*=\s*(\d+)\s*,)");
    std::set<std::uint16_t> ids;
    for (auto match = std::sregex_iterator(text.begin(), text.end(), enumerator); match != std::sregex_iterator();
         ++match) {
        ids.insert(static_cast<std::uint16_t>(std::stoi((*match)[1])));
    }
    return ids;
}

std::set<std::uint16_t> IdsOf(std::span<const MessageText> texts) {
    std::set<std::uint16_t> ids;
    for (const MessageText& row : texts) {
        ids.insert(static_cast<std::uint16_t>(row.id));
    }
    return ids;
}

// The placeholders of a text in order of appearance ("%1", "%2", "%s").
std::vector<std::string> Placeholders(std::string_view text) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && (text[i + 1] == '1' || text[i + 1] == '2' || text[i + 1] == 's')) {
            found.emplace_back(text.substr(i, 2));
        }
    }
    return found;
}

TEST(MessageTexts, EveryLanguageHoldsExactlyTheIdsOfTheEnumOnce) {
    const std::set<std::uint16_t> declared = IdsDeclaredInEnum();
    ASSERT_GE(declared.size(), 60u) << "could not read " << VAULTPACK_MESSAGE_ID_HEADER;
    const std::span<const MessageText> tables[] = {EnglishMessageTexts(), TraditionalChineseMessageTexts(),
                                                   JapaneseMessageTexts(), SimplifiedChineseMessageTexts()};
    for (const std::span<const MessageText> table : tables) {
        EXPECT_EQ(IdsOf(table), declared);
        EXPECT_EQ(table.size(), declared.size()) << "an id appears twice";
    }
    for (const Language language : kLanguages) {
        const MessageCatalogue catalogue(language);
        for (const std::uint16_t id : declared) {
            EXPECT_FALSE(catalogue.Load(id).empty()) << "id " << id << ", language " << static_cast<int>(language);
        }
    }
}

TEST(MessageTexts, TranslationsKeepTheEnglishPlaceholders) {
    const MessageCatalogue english(Language::English);
    for (const std::uint16_t id : IdsDeclaredInEnum()) {
        std::vector<std::string> expected = Placeholders(english.Load(id));
        // Positional and printf-style arguments are never mixed in one text.
        const bool positional = std::count(expected.begin(), expected.end(), "%s") == 0;
        EXPECT_TRUE(positional || expected.size() == 1) << "id " << id;
        std::sort(expected.begin(), expected.end());
        for (const Language language : kLanguages) {
            std::vector<std::string> actual = Placeholders(MessageCatalogue(language).Load(id));
            std::sort(actual.begin(), actual.end());
            EXPECT_EQ(actual, expected) << "id " << id << ", language " << static_cast<int>(language);
        }
    }
}

}  // namespace
}  // namespace vaultpack
