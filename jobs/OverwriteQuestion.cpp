#include "jobs/OverwriteQuestion.h"

#include "jobs/JobMessages.h"

namespace vaultpack {

MessageAnswer OverwriteQuestion::Ask(JobHost& host, MessageLine question) {
    if (standingAnswer_) {
        return *standingAnswer_;
    }
    switch (const MessageAnswer answer = AskQuestion(host, MessageButtons::YesNoAllCancel, std::move(question))) {
        case MessageAnswer::YesToAll: standingAnswer_ = MessageAnswer::Yes; return MessageAnswer::Yes;
        case MessageAnswer::NoToAll: standingAnswer_ = MessageAnswer::No; return MessageAnswer::No;
        default: return answer;
    }
}

}  // namespace vaultpack
