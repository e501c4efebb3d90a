#pragma once

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/JobHost.h"

namespace vaultpack::test {

// A JobHost for job tests: answers the job's questions from a script and
// records every call. A question that the script does not expect at that
// point fails the test (and is answered as cancelled); OK boxes need no
// script. Whatever is left of the script when the host goes fails the test.
class ScriptedJobHost final : public JobHost {
public:
    ~ScriptedJobHost();

    // The script, in the order the job asks.
    ScriptedJobHost& OpenFile(std::optional<std::filesystem::path> answer);
    ScriptedJobHost& SaveFile(std::optional<std::filesystem::path> answer);
    ScriptedJobHost& Folder(std::optional<std::filesystem::path> answer);
    ScriptedJobHost& Password(std::optional<std::string> answer);
    // A Yes/No or Yes/No/Cancel box whose first catalogue text is `question`.
    ScriptedJobHost& Answer(MessageId question, MessageAnswer answer);

    // Sets the cancel flag at the `count`th SetPosition call (counting from 1).
    void CancelAtPosition(int count) { cancelAtPosition_ = count; }
    // Called after every SetPosition with the number of positions so far.
    std::function<void(int)> onPosition;
    // Called while a message box is up, before it is answered.
    std::function<void()> onMessage;

    // What the job did, one line per call: "open ezc", "save zip report.zip",
    // "folder 125", "password hint", "message 113", "show", "title 182",
    // "cancel-caption 170", "range 3", "position 1", "status 132 \"a\"",
    // "complete".
    std::vector<std::string> calls;
    std::vector<MessageBoxRequest> messages;
    std::vector<MessageLine> statuses;
    std::vector<JobCompletion> completions;

    // The key id of every message box shown: its first catalogue text.
    std::vector<int> MessageIds() const;
    // The calls whose line starts with prefix ("position", "message").
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;

    std::optional<std::filesystem::path> ChooseFileToOpen(FileFilter filter) override;
    std::optional<std::filesystem::path> ChooseFileToSave(FileFilter filter, const std::string& defaultName) override;
    std::optional<std::filesystem::path> ChooseFolder(MessageId title) override;
    std::optional<std::string> AskPassword(const std::string& hint) override;
    MessageAnswer ShowMessage(const MessageBoxRequest& request) override;
    void ShowProgress() override;
    void SetProgressTitle(MessageId title) override;
    void SetStatus(const MessageLine& status) override;
    void SetCancelCaption(MessageId caption) override;
    void SetRange(std::uint32_t high) override;
    void SetPosition(std::uint32_t position) override;
    bool CancelRequested() const override { return cancel_; }
    void Complete(const JobCompletion& completion) override;

    void RequestCancel() { cancel_ = true; }

private:
    enum class Kind { Open, Save, Folder, Password, Question };
    struct Step {
        Kind kind;
        std::optional<std::filesystem::path> path{};
        std::optional<std::string> text{};
        MessageId question = MessageId::CaptionQuestion;
        MessageAnswer answer = MessageAnswer::Cancel;
    };
    // The next step if it is of this kind; otherwise fails the test.
    std::optional<Step> Next(Kind kind, const std::string& request);

    std::deque<Step> script_;
    std::atomic<bool> cancel_{false};
    int positions_ = 0;
    int cancelAtPosition_ = -1;
};

// The key id of a message box: its first catalogue text, 0 when it has none.
int KeyId(const MessageBoxRequest& request);

}  // namespace vaultpack::test
