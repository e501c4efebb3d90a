#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "jobs/JobHost.h"

namespace vaultpack::test {

// A JobHost for job tests: answers the job's questions from a script and
// records every call as a line of text:
//   questions  "open ezc", "save zip gamma.zip" (filter, default name),
//              "folder 125", "password <hint>", "message 127" (the id of its question, else of its first text)
//   progress   "show", "title 182", "cancel-caption 170", "range 3",
//              "position 1", "status 132"
//   the end    "complete"
// A question must match the front of the script (its line starts with the
// scripted question), else the test fails and the question counts as
// cancelled; OK boxes need no script. Script left over fails the test too.
class ScriptedJobHost final : public JobHost {
public:
    ~ScriptedJobHost();

    // The answer to the next question: a path, a password, or "Yes", "No",
    // "YesToAll", "NoToAll", "Cancel" for a message box; nothing for a
    // cancelled dialog.
    ScriptedJobHost& Expect(std::string question, std::optional<std::string> answer);
    void CancelAtPosition(int count) { cancelAtPosition_ = count; }  // at the count-th SetPosition, from 1
    std::function<void(int positions)> onPosition;                   // after every SetPosition
    std::function<void()> onMessage;                                 // while a message box is up
    std::function<void()> onCancelCheck;                             // each time the job polls the cancel flag
    std::function<void()> onComplete;                                // after the completion is recorded

    std::vector<std::string> calls;
    std::vector<MessageBoxRequest> messages;
    std::vector<std::string> messageTexts, statuses;  // their English texts
    std::vector<JobCompletion> completions;
    std::vector<std::filesystem::path> saveFolders;  // the folder each save dialog opened in
    std::vector<ProgressAmounts> amounts;
    std::set<std::thread::id> callingThreads;  // every thread that called the host
    std::vector<int> MessageIds() const;  // each message box by the id it is known by

    std::optional<std::filesystem::path> ChooseFileToOpen(FileFilter filter) override {
        return Ask(std::string("open ") + Name(filter));
    }
    std::optional<std::filesystem::path> ChooseFileToSave(FileFilter filter, const std::string& defaultName,
                                                          const std::filesystem::path& startFolder) override {
        saveFolders.push_back(startFolder);
        return Ask(std::string("save ") + Name(filter) + " " + defaultName);
    }
    std::optional<std::filesystem::path> ChooseFolder(MessageId title) override { return Ask("folder " + Id(title)); }
    std::optional<std::string> AskPassword(const std::string& hint) override { return Ask("password " + hint); }
    MessageAnswer ShowMessage(const MessageBoxRequest& request) override;
    void ShowProgress() override { Record("show"); }
    void SetProgressTitle(MessageId title) override { Record("title " + Id(title)); }
    void SetStatus(const MessageLine& status) override;
    void SetCancelCaption(MessageId caption) override { Record("cancel-caption " + Id(caption)); }
    // Kept apart from `calls`, which read as the job's steps.
    void SetAmounts(const ProgressAmounts& given) override { amounts.push_back(given); }
    void SetRange(std::uint32_t high) override { Record("range " + std::to_string(high)); }
    void SetPosition(std::uint32_t position) override;
    bool CancelRequested() const override {
        if (onCancelCheck) {
            onCancelCheck();
        }
        return cancel_;
    }
    void Complete(const JobCompletion& completion) override;

private:
    static std::string Id(MessageId id) { return std::to_string(static_cast<int>(id)); }
    static const char* Name(FileFilter filter) { return filter == FileFilter::Zip ? "zip" : "ezc"; }
    std::optional<std::string> Ask(const std::string& question);
    void Record(std::string call);

    std::deque<std::pair<std::string, std::optional<std::string>>> script_;
    std::atomic<bool> cancel_{false};
    int positions_ = 0;
    int cancelAtPosition_ = -1;
};

}  // namespace vaultpack::test
