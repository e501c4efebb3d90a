#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "resources/MessageId.h"

namespace vaultpack {

// One line of user-visible text as a job composes it: a catalogue text in the
// user's language with its placeholders filled ("%1"/"%2" in order, or "%s"),
// followed by literal text; or literal text alone (a path, a ZIP result text).
// The host renders it, so the jobs need no catalogue and tests can check ids.
struct MessageLine {
    std::optional<MessageId> id;
    std::vector<std::string> arguments;
    std::string literal;

    static MessageLine Text(MessageId id, std::vector<std::string> arguments = {}, std::string literal = {}) {
        return {id, std::move(arguments), std::move(literal)};
    }
    static MessageLine Literal(std::string literal) { return {std::nullopt, {}, std::move(literal)}; }

    bool operator==(const MessageLine&) const = default;
};

}  // namespace vaultpack
