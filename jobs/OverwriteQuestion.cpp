#include "jobs/OverwriteQuestion.h"

#include "jobs/JobMessages.h"

namespace vaultpack {

MessageAnswer OverwriteQuestion::Ask(JobHost& host, MessageLine question) {
    if (!replaceAll_) {
        switch (const MessageAnswer answer = AskQuestion(host, buttons_, std::move(question))) {
            case MessageAnswer::YesToAll: replaceAll_ = true; break;
            case MessageAnswer::NoToAll: replaceAll_ = false; break;
            default: return answer;
        }
    }
    return *replaceAll_ ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace vaultpack
