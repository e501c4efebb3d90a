#include "jobs/OverwriteQuestion.h"


namespace vaultpack {

MessageAnswer OverwriteQuestion::Ask(JobHost& host, const std::filesystem::path& path) {
    if (!replaceAll_) {
        switch (const MessageAnswer answer = host.AskOverwrite(path, kind_)) {
            case MessageAnswer::YesToAll: replaceAll_ = true; break;
            case MessageAnswer::NoToAll: replaceAll_ = false; break;
            default: return answer;
        }
    }
    return *replaceAll_ ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace vaultpack
