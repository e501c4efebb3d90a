#include "tests/jobs/ScriptedJobHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace vaultpack::test {

namespace {

std::string Number(MessageId id) {
    return std::to_string(static_cast<int>(id));
}

std::string FilterName(FileFilter filter) {
    return filter == FileFilter::Zip ? "zip" : "ezc";
}

template <typename Answer>
std::optional<Answer> As(const std::optional<std::string>& answer) {
    return answer ? std::optional<Answer>(*answer) : std::nullopt;
}

}  // namespace

int KeyId(const MessageBoxRequest& request) {
    for (const MessageLine& line : request.lines) {
        if (line.id) {
            return static_cast<int>(*line.id);
        }
    }
    return 0;
}

ScriptedJobHost::~ScriptedJobHost() {
    EXPECT_TRUE(script_.empty()) << "never asked: " << script_.front().first;
}

ScriptedJobHost& ScriptedJobHost::Expect(std::string question, std::optional<std::string> answer) {
    script_.emplace_back(std::move(question), std::move(answer));
    return *this;
}

std::vector<int> ScriptedJobHost::MessageIds() const {
    std::vector<int> ids;
    for (const MessageBoxRequest& request : messages) {
        ids.push_back(KeyId(request));
    }
    return ids;
}

std::vector<std::string> ScriptedJobHost::CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [&](const std::string& call) { return call.starts_with(prefix); });
    return found;
}

std::optional<std::string> ScriptedJobHost::Ask(const std::string& question) {
    calls.push_back(question);
    if (script_.empty() || !question.starts_with(script_.front().first)) {
        ADD_FAILURE() << "unexpected question: " << question;
        return std::nullopt;
    }
    std::optional<std::string> answer = script_.front().second;
    script_.pop_front();
    return answer;
}

std::optional<std::filesystem::path> ScriptedJobHost::ChooseFileToOpen(FileFilter filter) {
    return As<std::filesystem::path>(Ask("open " + FilterName(filter)));
}

std::optional<std::filesystem::path> ScriptedJobHost::ChooseFileToSave(FileFilter filter,
                                                                       const std::string& defaultName) {
    return As<std::filesystem::path>(Ask("save " + FilterName(filter) + " " + defaultName));
}

std::optional<std::filesystem::path> ScriptedJobHost::ChooseFolder(MessageId title) {
    return As<std::filesystem::path>(Ask("folder " + Number(title)));
}

std::optional<std::string> ScriptedJobHost::AskPassword(const std::string& hint) {
    return Ask("password " + hint);
}

MessageAnswer ScriptedJobHost::ShowMessage(const MessageBoxRequest& request) {
    messages.push_back(request);
    if (onMessage) {
        onMessage();
    }
    const std::string question = "message " + std::to_string(KeyId(request));
    if (request.buttons == MessageButtons::Ok) {
        calls.push_back(question);
        return MessageAnswer::Ok;
    }
    const std::string answer = Ask(question).value_or("Cancel");
    return answer == "Yes" ? MessageAnswer::Yes : answer == "No" ? MessageAnswer::No : MessageAnswer::Cancel;
}

void ScriptedJobHost::SetProgressTitle(MessageId title) {
    calls.push_back("title " + Number(title));
}

void ScriptedJobHost::SetStatus(const MessageLine& status) {
    statuses.push_back(status);
    calls.push_back("status " + (status.id ? Number(*status.id) : std::string("-")));
}

void ScriptedJobHost::SetCancelCaption(MessageId caption) {
    calls.push_back("cancel-caption " + Number(caption));
}

void ScriptedJobHost::SetPosition(std::uint32_t position) {
    calls.push_back("position " + std::to_string(position));
    if (++positions_ == cancelAtPosition_) {
        cancel_ = true;
    }
    if (onPosition) {
        onPosition(positions_);
    }
}

void ScriptedJobHost::Complete(const JobCompletion& completion) {
    calls.push_back("complete");
    completions.push_back(completion);
}

}  // namespace vaultpack::test
