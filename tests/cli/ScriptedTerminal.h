#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/Terminal.h"

namespace vaultpack::test {

// A terminal whose user types the given lines (nothing stands for the end of
// input). Reading past the script fails the test.
class ScriptedTerminal final : public Terminal {
public:
    explicit ScriptedTerminal(std::deque<std::optional<std::string>> lines = {}) : lines_(std::move(lines)) {}
    ~ScriptedTerminal() override { EXPECT_TRUE(lines_.empty()) << lines_.size() << " typed lines were never read"; }

    void Write(std::string_view text) override { written += text; }
    std::optional<std::string> ReadLine(std::string_view prompt, bool echo) override {
        written += prompt;
        echoes.push_back(echo);
        if (lines_.empty()) {
            ADD_FAILURE() << "unexpected read after: " << written;
            return std::nullopt;
        }
        std::optional<std::string> line = std::move(lines_.front());
        lines_.pop_front();
        return line;
    }

    std::string written;       // every prompt and message, in order
    std::vector<bool> echoes;  // per read: was the line echoed

private:
    std::deque<std::optional<std::string>> lines_;
};

}  // namespace vaultpack::test
