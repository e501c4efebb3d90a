#include "jobs/StatusText.h"

namespace vaultpack {

namespace {

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

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
