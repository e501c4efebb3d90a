#include "tests/ui/ScriptedPlatformPickers.h"

#include <stdexcept>

namespace vaultpack::test {

std::optional<std::filesystem::path> ScriptedPlatformPickers::ExistingFolder(const QString& title,
                                                                             const std::filesystem::path& preselect) {
    folderRequests_.push_back({title, preselect});
    if (folderAnswers_.empty()) {
        throw std::logic_error("ExistingFolder asked more often than the script answers");
    }
    auto answer = std::move(folderAnswers_.front());
    folderAnswers_.pop_front();
    return answer;
}

}  // namespace vaultpack::test
