#pragma once

#include <string>
#include <vector>

#include "app/MessageCatalogue.h"
#include "jobs/MessageLine.h"

namespace vaultpack {

// The text of one line in the catalogue's language: the catalogue text with
// "%s" filled printf-style when it has one, otherwise "%1" and "%2" filled in
// order; then the literal text.
std::string RenderMessageLine(const MessageCatalogue& catalogue, const MessageLine& line);

// The lines of a message box joined with line feeds.
std::string RenderMessageLines(const MessageCatalogue& catalogue, const std::vector<MessageLine>& lines);

}  // namespace vaultpack
