#include "app/MessageCatalogue.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "files/AsciiCase.h"

namespace vaultpack {
namespace {

using Language = MessageCatalogue::Language;

std::span<const MessageText> TextsOf(Language language) {
    switch (language) {
    case Language::TraditionalChinese:
        return TraditionalChineseMessageTexts();
    case Language::Japanese:
        return JapaneseMessageTexts();
    case Language::SimplifiedChinese:
        return SimplifiedChineseMessageTexts();
    case Language::English:
        break;
    }
    return EnglishMessageTexts();
}

// Splits on any of the separators, dropping empty pieces.
std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        const auto end = std::min(text.find_first_of(separators), text.size());
        if (end > 0) {
            pieces.push_back(text.substr(0, end));
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return pieces;
}

// The locale name without its ".codeset" and "@modifier" parts, lower case.
std::string BareLocaleName(std::string_view localeName) {
    return AsciiLowercase(localeName.substr(0, localeName.find_first_of(".@")));
}

bool IsCLocale(std::string_view localeName) {
    const std::string bare = BareLocaleName(localeName);
    return bare == "c" || bare == "posix";
}

// The catalogue language a locale name names, or nothing when it names none
// of them. Both POSIX ("zh_TW") and BCP 47 ("zh-Hant-TW") spellings are read;
// a script subtag outranks a region.
std::optional<Language> MatchLanguage(std::string_view localeName) {
    const std::string bare = BareLocaleName(localeName);
    const std::vector<std::string_view> subtags = Split(bare, "_-");
    if (subtags.empty()) {
        return std::nullopt;
    }
    const std::string_view language = subtags.front();
    if (language == "en") {
        return Language::English;
    }
    if (language == "ja") {
        return Language::Japanese;
    }
    if (language != "zh") {
        return std::nullopt;
    }
    const auto has = [&](std::string_view subtag) {
        return std::find(subtags.begin() + 1, subtags.end(), subtag) != subtags.end();
    };
    if (has("hant")) {
        return Language::TraditionalChinese;
    }
    if (has("hans")) {
        return Language::SimplifiedChinese;
    }
    if (has("tw") || has("hk") || has("mo")) {
        return Language::TraditionalChinese;
    }
    // Mainland China, Singapore, Malaysia and a bare "zh" all write the
    // simplified characters.
    return Language::SimplifiedChinese;
}

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// Replaces "%" followed by a character for which replacementFor gives a text,
// scanning the pattern once so that nothing inserted is looked at again. A
// percent sign with no replacement is copied as it is.
template <typename ReplacementFor>
std::string Substitute(std::string_view pattern, ReplacementFor replacementFor) {
    std::string result;
    result.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (const std::optional<std::string_view> replacement = replacementFor(pattern[i + 1])) {
                result += *replacement;
                ++i;
                continue;
            }
        }
        result += pattern[i];
    }
    return result;
}

}  // namespace

MessageCatalogue::MessageCatalogue(Language language) : language_(language), texts_(TextsOf(language)) {}

Language MessageCatalogue::LanguageForLocale(std::string_view localeName) {
    return MatchLanguage(localeName).value_or(Language::English);
}

Language MessageCatalogue::LanguageForEnvironment(const LocaleEnvironment& environment) {
    const std::string& locale = !environment.lcAll.empty()        ? environment.lcAll
                                : !environment.lcMessages.empty() ? environment.lcMessages
                                                                  : environment.lang;
    if (locale.empty() || IsCLocale(locale)) {
        return Language::English;
    }
    if (!environment.language.empty()) {
        for (const std::string_view entry : Split(environment.language, ":")) {
            if (const std::optional<Language> language = MatchLanguage(entry)) {
                return *language;
            }
        }
        return Language::English;
    }
    return LanguageForLocale(locale);
}

Language MessageCatalogue::SystemLanguage() {
    return LanguageForEnvironment({
        .language = EnvironmentValue("LANGUAGE"),
        .lcAll = EnvironmentValue("LC_ALL"),
        .lcMessages = EnvironmentValue("LC_MESSAGES"),
        .lang = EnvironmentValue("LANG"),
    });
}

std::string MessageCatalogue::Load(MessageId id) const {
    return Load(static_cast<std::uint16_t>(id));
}

std::string MessageCatalogue::Load(std::uint16_t id) const {
    const auto row = std::find_if(texts_.begin(), texts_.end(), [id](const MessageText& text) {
        return static_cast<std::uint16_t>(text.id) == id;
    });
    return row != texts_.end() ? std::string(row->text) : std::string();
}

std::string MessageCatalogue::Format(MessageId id, std::string_view first, std::string_view second) const {
    return Substitute(Load(id), [&](char c) -> std::optional<std::string_view> {
        if (c == '1') {
            return first;
        }
        if (c == '2') {
            return second;
        }
        return std::nullopt;
    });
}

std::string MessageCatalogue::FormatPrintfStyle(MessageId id, std::string_view argument) const {
    return Substitute(Load(id), [&](char c) -> std::optional<std::string_view> {
        if (c == 's') {
            return argument;
        }
        if (c == '%') {
            return std::string_view("%");
        }
        return std::nullopt;
    });
}

}  // namespace vaultpack
