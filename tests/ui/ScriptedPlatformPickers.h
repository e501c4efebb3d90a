#pragma once

#include <deque>

#include "ui/PlatformPickers.h"

namespace vaultpack::test {

// PlatformPickers that answers from a script and records every folder
// request. A request the script has no answer for fails the test and answers
// as a cancel.
class ScriptedPlatformPickers : public PlatformPickers {
public:
    struct FolderRequest {
        QString title;
        std::filesystem::path preselect;
    };

    // The next ExistingFolder answer; nothing stands for a cancel.
    void AnswerFolder(std::optional<std::filesystem::path> answer) { folderAnswers_.push_back(std::move(answer)); }
    // The next OpenFile answer; nothing stands for a cancel.
    void AnswerOpenFile(std::optional<std::filesystem::path> answer) { openAnswers_.push_back(std::move(answer)); }
    // The next OpenFiles answer; an empty list stands for a cancel.
    void AnswerOpenFiles(std::vector<std::filesystem::path> answer) { openFilesAnswers_.push_back(std::move(answer)); }
    // The next SaveFile answer; nothing stands for a cancel.
    void AnswerSaveFile(std::optional<std::filesystem::path> answer) { saveAnswers_.push_back(std::move(answer)); }
    const std::vector<FolderRequest>& FolderRequests() const { return folderRequests_; }

    const std::vector<SaveFileRequest>& SaveRequests() const { return saveRequests_; }

    std::optional<std::filesystem::path> OpenFile(QWidget* owner, const QString& filterText) override;
    std::vector<std::filesystem::path> OpenFiles(QWidget* owner, const QString& filterText) override;
    std::optional<std::filesystem::path> SaveFile(QWidget* owner, const SaveFileRequest& request) override;
    std::optional<std::filesystem::path> ExistingFolder(QWidget* owner, const QString& title,
                                                        const std::filesystem::path& preselect) override;

private:
    std::deque<std::optional<std::filesystem::path>> folderAnswers_;
    std::deque<std::optional<std::filesystem::path>> openAnswers_;
    std::deque<std::optional<std::filesystem::path>> saveAnswers_;
    std::deque<std::vector<std::filesystem::path>> openFilesAnswers_;
    std::vector<FolderRequest> folderRequests_;
    std::vector<SaveFileRequest> saveRequests_;
};

}  // namespace vaultpack::test
