#include "tests/ui/ScriptedPlatformPickers.h"

#include <gtest/gtest.h>

namespace vaultpack::test {
namespace {

// The next answer of a script; a missing one fails the test and cancels, as
// the pickers run inside the event loop, where nothing may throw.
std::optional<std::filesystem::path> NextAnswer(std::deque<std::optional<std::filesystem::path>>& answers,
                                                const QString& request) {
    if (answers.empty()) {
        ADD_FAILURE() << "no scripted answer for " << request.toStdString();
        return std::nullopt;
    }
    auto answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

}  // namespace

std::optional<std::filesystem::path> ScriptedPlatformPickers::OpenFile(const QString& filterText) {
    return NextAnswer(openAnswers_, "open " + filterText);
}

std::optional<std::filesystem::path> ScriptedPlatformPickers::ExistingFolder(const QString& title,
                                                                             const std::filesystem::path& preselect) {
    folderRequests_.push_back({title, preselect});
    return NextAnswer(folderAnswers_, "folder " + title);
}

}  // namespace vaultpack::test
