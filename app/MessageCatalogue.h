#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "resources/MessageId.h"
#include "resources/MessageTexts.h"

namespace vaultpack {

// The locale variables that choose the interface language, as found in the
// environment; an empty string stands for an unset variable.
struct LocaleEnvironment {
    std::string language{};    // LANGUAGE: a colon-separated priority list
    std::string lcAll{};       // LC_ALL
    std::string lcMessages{};  // LC_MESSAGES
    std::string lang{};        // LANG
};

// The user-visible texts of the program in one language, looked up by message
// id. Read-only after construction, so one instance may serve every thread.
class MessageCatalogue {
public:
    enum class Language { English, TraditionalChinese, Japanese, SimplifiedChinese };

    explicit MessageCatalogue(Language language);

    // The language for a locale name such as "zh_TW.UTF-8", "ja_JP@euro",
    // "zh-Hant" or "zh_Hans_SG": Traditional Chinese for Taiwan, Hong Kong
    // and Macau or the Hant script, Simplified Chinese for any other Chinese,
    // Japanese for "ja"; English for everything else, including "" and "C".
    static Language LanguageForLocale(std::string_view localeName);

    // The language the environment asks for. The locale in effect is the
    // first set of LC_ALL, LC_MESSAGES and LANG. Unless that locale is "C" or
    // "POSIX", LANGUAGE is a priority list that takes precedence, as it does
    // for every gettext program on the desktop: its first entry in one of the
    // four languages wins, and a list naming none of them gives English.
    static Language LanguageForEnvironment(const LocaleEnvironment& environment);

    // LanguageForEnvironment of this process's environment.
    static Language SystemLanguage();

    Language CurrentLanguage() const { return language_; }

    // The text of an id; an empty string for an id that has no text.
    std::string Load(MessageId id) const;
    std::string Load(std::uint16_t id) const;

    // The text of an id with every "%1" replaced by first and every "%2" by
    // second, in one pass: placeholders inside the arguments stay as they
    // are, and so does any other percent sign.
    std::string Format(MessageId id, std::string_view first, std::string_view second = {}) const;

    // The text of an id filled as printf fills a single string argument:
    // "%s" becomes argument and "%%" a percent sign; nothing in the argument
    // is interpreted.
    std::string FormatPrintfStyle(MessageId id, std::string_view argument) const;

private:
    Language language_;
    std::span<const MessageText> texts_;
};

}  // namespace vaultpack
