#include "jobs/StatusText.h"

#include <cstddef>
#include <string>

namespace vaultpack {

namespace {

// How many trailing characters of a long path or entry name a status line keeps.
constexpr std::size_t kSourceStatusCharacters = 30;  // zipping and encrypting
constexpr std::size_t kEntryStatusCharacters = 40;   // unzipping

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The text itself when it has at most `keptCharacters` characters, otherwise
// "..." followed by its last `keptCharacters` characters. Bytes that are not
// valid UTF-8 stay with the character before them.
std::string ShortenForStatus(std::string_view text, std::size_t keptCharacters) {
    // Walk back from the end, counting the bytes that start a character; on
    // meeting one character too many, keep what follows the last one counted.
    std::size_t characters = 0;
    std::size_t keptStart = text.size();
    for (std::size_t position = text.size(); position > 0; --position) {
        if (IsContinuationByte(text[position - 1])) {
            continue;
        }
        if (++characters > keptCharacters) {
            return "..." + std::string(text.substr(keptStart));
        }
        keptStart = position - 1;
    }
    return std::string(text);
}

}  // namespace

MessageLine ZippingStatus(const std::filesystem::path& source) {
    return MessageLine::Text(MessageId::StatusZipping, {},
                             " \"" + ShortenForStatus(source.string(), kSourceStatusCharacters) + "\"");
}

MessageLine EncryptingStatus(const std::filesystem::path& source) {
    return MessageLine::Text(MessageId::StatusEncrypting, {},
                             "'" + ShortenForStatus(source.string(), kSourceStatusCharacters) + "'");
}

MessageLine DecryptingStatus(const std::filesystem::path& container) {
    return MessageLine::Text(MessageId::StatusDecrypting, {container.string()});
}

MessageLine UnzippingStatus(std::string_view entryName) {
    return MessageLine::Text(MessageId::StatusUnzipping, {ShortenForStatus(entryName, kEntryStatusCharacters)});
}

}  // namespace vaultpack
