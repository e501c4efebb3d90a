#include "tests/support/ScriptedJobHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "tests/support/EnglishText.h"

namespace vaultpack::test {

namespace {

// The id a box is known by: its question (the last text) when it asks one,
// otherwise its first text, which says what failed or happened.
int KeyId(const MessageBoxRequest& request) {
    const auto hasId = [](const MessageLine& line) { return line.id.has_value(); };
    if (request.buttons != MessageButtons::Ok) {
        const auto line = std::find_if(request.lines.rbegin(), request.lines.rend(), hasId);
        return line == request.lines.rend() ? 0 : static_cast<int>(*line->id);
    }
    const auto line = std::find_if(request.lines.begin(), request.lines.end(), hasId);
    return line == request.lines.end() ? 0 : static_cast<int>(*line->id);
}

}  // namespace

ScriptedJobHost::~ScriptedJobHost() {
    EXPECT_TRUE(script_.empty()) << "never asked: " << script_.front().first;
}

ScriptedJobHost& ScriptedJobHost::Expect(std::string question, std::optional<std::string> answer) {
    script_.emplace_back(std::move(question), std::move(answer));
    return *this;
}

std::vector<int> ScriptedJobHost::MessageIds() const {
    std::vector<int> ids;
    std::transform(messages.begin(), messages.end(), std::back_inserter(ids), KeyId);
    return ids;
}

std::optional<std::string> ScriptedJobHost::Scripted(const std::string& question) {
    Record(question);
    if (script_.empty() || !question.starts_with(script_.front().first)) {
        ADD_FAILURE() << "unexpected question: " << question;
        return std::nullopt;
    }
    std::optional<std::string> answer = script_.front().second;
    script_.pop_front();
    return answer;
}

MessageAnswer ScriptedJobHost::Reply(const MessageBoxRequest& request) {
    messages.push_back(request);
    messageTexts.push_back(EnglishText(request));
    if (onMessage) {
        onMessage();
    }
    const std::string question = "message " + std::to_string(KeyId(request));
    if (request.buttons == MessageButtons::Ok) {
        Record(question);
        return MessageAnswer::Ok;
    }
    const std::string answer = Scripted(question).value_or("Cancel");
    for (const auto& [name, value] : {std::pair{"Yes", MessageAnswer::Yes}, std::pair{"No", MessageAnswer::No},
                                      std::pair{"YesToAll", MessageAnswer::YesToAll},
                                      std::pair{"NoToAll", MessageAnswer::NoToAll}}) {
        if (answer == name) {
            return value;
        }
    }
    return MessageAnswer::Cancel;
}

void ScriptedJobHost::Report(const Progress& latest) {
    callingThreads.insert(std::this_thread::get_id());
    const ProgressChanges changed = TakeChanges(progress, latest);
    if (changed.shown) {
        Record("show");
    }
    if (changed.title && latest.title) {
        Record("title " + Id(*latest.title));
    }
    if (changed.cancelCaption && latest.cancelCaption) {
        Record("cancel-caption " + Id(*latest.cancelCaption));
    }
    if (changed.bar) {
        Record("range " + std::to_string(latest.range));
    }
    if (changed.status && latest.status) {
        statuses.push_back(EnglishText(*latest.status));
        Record("status " + (latest.status->id ? Id(*latest.status->id) : std::string("-")));
    }
    if (changed.position) {
        Record("position " + std::to_string(latest.position));
        if (++positions_ == cancelAtPosition_) {
            RequestCancel();
        }
        if (onPosition) {
            onPosition(positions_);
        }
    }
}

void ScriptedJobHost::Complete(const JobCompletion& completion) {
    Record("complete");
    completions.push_back(completion);
    if (onComplete) {
        onComplete();
    }
}

void ScriptedJobHost::Record(std::string call) {
    calls.push_back(std::move(call));
    callingThreads.insert(std::this_thread::get_id());
}

}  // namespace vaultpack::test
