#pragma once

#include <span>
#include <string_view>

#include "resources/MessageId.h"

namespace vaultpack {

// One compiled-in text of the message catalogue. Texts are UTF-8; "%1" and
// "%2" are positional arguments, "%s" a printf-style string argument, and the
// two kinds never meet in one text.
struct MessageText {
    MessageId id;
    std::string_view text;
};

// The texts of one language: one row per message id, every table holding the
// same ids with the same placeholders.
std::span<const MessageText> EnglishMessageTexts();
std::span<const MessageText> TraditionalChineseMessageTexts();
std::span<const MessageText> JapaneseMessageTexts();
std::span<const MessageText> SimplifiedChineseMessageTexts();

}  // namespace vaultpack
