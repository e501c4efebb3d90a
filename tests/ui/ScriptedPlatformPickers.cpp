#include "tests/ui/ScriptedPlatformPickers.h"

#include <gtest/gtest.h>

namespace vaultpack::test {
namespace {

// The next answer of a script; a missing one fails the test and cancels, as
// the pickers run inside the event loop, where nothing may throw.
template <typename Answer>
Answer NextAnswer(std::deque<Answer>& answers, const QString& request) {
    if (answers.empty()) {
        ADD_FAILURE() << "no scripted answer for " << request.toStdString();
        return Answer();
    }
    auto answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

}  // namespace

std::optional<std::filesystem::path> ScriptedPlatformPickers::OpenFile(QWidget*, const QString& filterText) {
    return NextAnswer(openAnswers_, "open " + filterText);
}

std::vector<std::filesystem::path> ScriptedPlatformPickers::OpenFiles(QWidget*, const QString& filterText) {
    return NextAnswer(openFilesAnswers_, "open files " + filterText);
}

std::optional<std::filesystem::path> ScriptedPlatformPickers::SaveFile(QWidget*, const SaveFileRequest& request) {
    saveRequests_.push_back(request);
    return NextAnswer(saveAnswers_, "save " + request.filterText + " " + request.defaultName);
}

std::optional<std::filesystem::path> ScriptedPlatformPickers::ExistingFolder(QWidget*, const QString& title,
                                                                             const std::filesystem::path& preselect) {
    folderRequests_.push_back({title, preselect});
    return NextAnswer(folderAnswers_, "folder " + title);
}

}  // namespace vaultpack::test
