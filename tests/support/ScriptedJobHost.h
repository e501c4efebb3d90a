#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "jobs/JobHost.h"

namespace vaultpack::test {

// A JobHost for job tests: answers the job's questions from a script and
// records the questions and what the progress display shows, as lines of text:
//   questions  "open ezc", "save zip gamma.zip" (filter, default name),
//              "folder 125", "password <hint>", "message 127" (the id of its question, else of its first text)
//   progress   "show", "title 182", "cancel-caption 170", "range 3",
//              "status 132", "position 1" (each when it changes; a new bar
//              shows position 0)
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
    void CancelAtPosition(int count) { cancelAtPosition_ = count; }  // at the count-th position shown, from 1
    std::function<void(int positions)> onPosition;                   // after every position shown
    std::function<void()> onMessage;                                 // while a message box is up
    std::function<void()> onCancelCheck;                             // each time the job polls the cancel flag
    std::function<void()> onComplete;                                // after the completion is recorded

    std::vector<std::string> calls;
    std::vector<MessageBoxRequest> messages;
    std::vector<std::string> messageTexts, statuses;  // their English texts
    std::vector<JobCompletion> completions;
    std::vector<std::filesystem::path> saveFolders;  // the folder each save dialog opened in
    Progress progress;                               // what the progress display shows now
    std::set<std::thread::id> callingThreads;        // every thread that called the host
    std::vector<int> MessageIds() const;             // each message box by the id it is known by

    Answer Ask(const Question& question) override {
        return std::visit([this](const auto& asked) -> Answer { return Reply(asked); }, question);
    }
    void Report(const Progress& latest) override;
    bool CancelRequested() const override {
        if (onCancelCheck) {
            onCancelCheck();
        }
        return JobHost::CancelRequested();
    }
    void Complete(const JobCompletion& completion) override;

private:
    static std::string Id(MessageId id) { return std::to_string(static_cast<int>(id)); }
    static const char* Name(FileFilter filter) { return filter == FileFilter::Zip ? "zip" : "ezc"; }

    MessageAnswer Reply(const MessageBoxRequest& request);
    MessageAnswer Reply(const ReplaceQuestion& question) { return Reply(MessageBoxFor(question)); }
    MessageAnswer Reply(const GoOnQuestion& question) { return Reply(MessageBoxFor(question)); }
    PasswordAnswer Reply(const PasswordQuestion& question) { return Scripted("password " + question.hint); }
    PathAnswer Reply(const OpenFileQuestion& question) {
        return Scripted(std::string("open ") + Name(question.filter));
    }
    PathAnswer Reply(const SaveFileQuestion& question) {
        saveFolders.push_back(question.startFolder);
        return Scripted(std::string("save ") + Name(question.filter) + " " + question.defaultName);
    }
    PathAnswer Reply(const FolderQuestion& question) { return Scripted("folder " + Id(question.title)); }

    std::optional<std::string> Scripted(const std::string& question);
    void Record(std::string call);

    std::deque<std::pair<std::string, std::optional<std::string>>> script_;
    int positions_ = 0;
    int cancelAtPosition_ = -1;
};

}  // namespace vaultpack::test
