#include "jobs/JobMessages.h"

#include <string>
#include <utility>

namespace vaultpack {

void ShowError(JobHost& host, MessageOwner owner, std::vector<MessageLine> lines) {
    host.ShowMessage({MessageId::CaptionError, MessageButtons::Ok, owner, std::move(lines)});
}

void ShowInformation(JobHost& host, std::vector<MessageLine> lines) {
    host.ShowMessage({MessageId::CaptionInformation, MessageButtons::Ok, MessageOwner::Progress, std::move(lines)});
}


MessageLine ZipResultLine(ZipResult result) {
    return MessageLine::Literal(std::string(ZipResultText(result)));
}

void ShowCloseZipFailure(JobHost& host, ZipResult result, std::optional<MessageLine> reason) {
    std::vector<MessageLine> lines{MessageLine::Text(MessageId::CloseZipFailed), ZipResultLine(result)};
    if (reason) {
        lines.push_back(std::move(*reason));
    }
    ShowError(host, MessageOwner::Progress, std::move(lines));
}

void ShowOpenZipFailure(JobHost& host, const std::filesystem::path& archive, ZipResult result) {
    std::vector<MessageLine> lines{MessageLine::Text(MessageId::OpenZipFailed)};
    if (result == ZipResult::CorruptArchive) {
        lines.push_back(MessageLine::Text(MessageId::ReasonNotZipArchive, {archive.string()}));
    } else {
        lines.push_back(ZipResultLine(result));
        lines.push_back(MessageLine::Literal(archive.string()));
    }
    ShowError(host, MessageOwner::None, std::move(lines));
}

}  // namespace vaultpack
