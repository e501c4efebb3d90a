#include "tests/support/EnglishText.h"

#include "app/MessageRendering.h"

namespace vaultpack::test {

std::string EnglishText(const MessageBoxRequest& request) {
    return RenderMessageLines(MessageCatalogue(MessageCatalogue::Language::English), request.lines);
}

std::string EnglishText(const MessageLine& line) {
    return RenderMessageLine(MessageCatalogue(MessageCatalogue::Language::English), line);
}

}  // namespace vaultpack::test
