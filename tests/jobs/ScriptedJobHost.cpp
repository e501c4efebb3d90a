#include "tests/jobs/ScriptedJobHost.h"

#include <gtest/gtest.h>

namespace vaultpack::test {

namespace {

std::string FilterName(FileFilter filter) {
    return filter == FileFilter::Zip ? "zip" : "ezc";
}

std::string Describe(const MessageLine& line) {
    std::string text = line.id ? std::to_string(static_cast<int>(*line.id)) : "-";
    for (const std::string& argument : line.arguments) {
        text += " [" + argument + "]";
    }
    return text + " " + line.literal;
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
    EXPECT_TRUE(script_.empty()) << script_.size() << " scripted answers were never asked for";
}

ScriptedJobHost& ScriptedJobHost::OpenFile(std::optional<std::filesystem::path> answer) {
    script_.push_back({Kind::Open, std::move(answer)});
    return *this;
}

ScriptedJobHost& ScriptedJobHost::SaveFile(std::optional<std::filesystem::path> answer) {
    script_.push_back({Kind::Save, std::move(answer)});
    return *this;
}

ScriptedJobHost& ScriptedJobHost::Folder(std::optional<std::filesystem::path> answer) {
    script_.push_back({Kind::Folder, std::move(answer)});
    return *this;
}

ScriptedJobHost& ScriptedJobHost::Password(std::optional<std::string> answer) {
    script_.push_back({Kind::Password, std::nullopt, std::move(answer)});
    return *this;
}

ScriptedJobHost& ScriptedJobHost::Answer(MessageId question, MessageAnswer answer) {
    script_.push_back({Kind::Question, std::nullopt, std::nullopt, question, answer});
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
    for (const std::string& call : calls) {
        if (call.starts_with(prefix)) {
            found.push_back(call);
        }
    }
    return found;
}

std::optional<ScriptedJobHost::Step> ScriptedJobHost::Next(Kind kind, const std::string& request) {
    calls.push_back(request);
    if (script_.empty() || script_.front().kind != kind) {
        ADD_FAILURE() << "unexpected question: " << request;
        return std::nullopt;
    }
    Step step = script_.front();
    script_.pop_front();
    return step;
}

std::optional<std::filesystem::path> ScriptedJobHost::ChooseFileToOpen(FileFilter filter) {
    const auto step = Next(Kind::Open, "open " + FilterName(filter));
    return step ? step->path : std::nullopt;
}

std::optional<std::filesystem::path> ScriptedJobHost::ChooseFileToSave(FileFilter filter,
                                                                       const std::string& defaultName) {
    const auto step = Next(Kind::Save, "save " + FilterName(filter) + " " + defaultName);
    return step ? step->path : std::nullopt;
}

std::optional<std::filesystem::path> ScriptedJobHost::ChooseFolder(MessageId title) {
    const auto step = Next(Kind::Folder, "folder " + std::to_string(static_cast<int>(title)));
    return step ? step->path : std::nullopt;
}

std::optional<std::string> ScriptedJobHost::AskPassword(const std::string& hint) {
    const auto step = Next(Kind::Password, "password " + hint);
    return step ? step->text : std::nullopt;
}

MessageAnswer ScriptedJobHost::ShowMessage(const MessageBoxRequest& request) {
    messages.push_back(request);
    if (onMessage) {
        onMessage();
    }
    const std::string call = "message " + std::to_string(KeyId(request));
    if (request.buttons == MessageButtons::Ok) {
        calls.push_back(call);
        return MessageAnswer::Ok;
    }
    const auto step = Next(Kind::Question, call);
    if (!step) {
        return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
    EXPECT_EQ(KeyId(request), static_cast<int>(step->question)) << "a different question came";
    return step->answer;
}

void ScriptedJobHost::ShowProgress() {
    calls.push_back("show");
}

void ScriptedJobHost::SetProgressTitle(MessageId title) {
    calls.push_back("title " + std::to_string(static_cast<int>(title)));
}

void ScriptedJobHost::SetStatus(const MessageLine& status) {
    statuses.push_back(status);
    calls.push_back("status " + Describe(status));
}

void ScriptedJobHost::SetCancelCaption(MessageId caption) {
    calls.push_back("cancel-caption " + std::to_string(static_cast<int>(caption)));
}

void ScriptedJobHost::SetRange(std::uint32_t high) {
    calls.push_back("range " + std::to_string(high));
}

void ScriptedJobHost::SetPosition(std::uint32_t position) {
    calls.push_back("position " + std::to_string(position));
    ++positions_;
    if (positions_ == cancelAtPosition_) {
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
