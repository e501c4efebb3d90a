#include "app/MessageRendering.h"

namespace vaultpack {

std::string RenderMessageLine(const MessageCatalogue& catalogue, const MessageLine& line) {
    std::string text;
    if (line.id) {
        const std::string first = line.arguments.empty() ? std::string() : line.arguments[0];
        const std::string second = line.arguments.size() < 2 ? std::string() : line.arguments[1];
        if (catalogue.Load(*line.id).find("%s") != std::string::npos) {
            text = catalogue.FormatPrintfStyle(*line.id, first);
        } else {
            text = catalogue.Format(*line.id, first, second);
        }
    }
    return text + line.literal;
}

std::string RenderMessageLines(const MessageCatalogue& catalogue, const std::vector<MessageLine>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            text += '\n';
        }
        text += RenderMessageLine(catalogue, lines[i]);
    }
    return text;
}

}  // namespace vaultpack
