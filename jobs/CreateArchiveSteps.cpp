#include "jobs/CreateArchiveSteps.h"

#include <cstdint>
#include <system_error>

#include "crypto/EncryptFile.h"
#include "jobs/JobMessages.h"
#include "jobs/StatusText.h"
#include "jobs/ZipWriter.h"

namespace vaultpack {

namespace {

MessageLine ResultLine(ZipResult result) {
    return MessageLine::Literal(std::string(ZipResultText(result)));
}

void DeleteFile(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// Closes the archive, telling the user when that fails.
bool CloseArchive(ZipWriter& writer, JobHost& host) {
    const ZipResult result = writer.Close();
    if (result != ZipResult::Success) {
        ShowError(host, MessageOwner::Progress, {MessageLine::Text(MessageId::CloseZipFailed), ResultLine(result)});
        return false;
    }
    return true;
}

// Lets a long file stop between its pieces when the user cancels.
std::function<bool()> CancelCheck(const JobHost& host) {
    return [&host] { return host.CancelRequested(); };
}

std::unique_ptr<ZipWriter> CreateArchive(const std::filesystem::path& zipPath, JobHost& host) {
    std::unique_ptr<ZipWriter> writer = ZipWriter::Create(zipPath);
    if (!writer) {
        ShowError(host, MessageOwner::Progress, {MessageLine::Text(MessageId::CreateZipFailed)});
    }
    return writer;
}

}  // namespace

StepOutcome ZipItemList(const std::vector<ArchiveItem>& items, const std::filesystem::path& zipPath, JobHost& host) {
    const std::unique_ptr<ZipWriter> writer = CreateArchive(zipPath, host);
    if (!writer) {
        return {StepStatus::Failed};
    }
    const auto count = static_cast<std::uint32_t>(items.size());
    host.SetRange(count);
    host.SetPosition(0);

    StepOutcome outcome;
    std::uint32_t index = 0;
    for (; index < count; ++index) {
        if (host.CancelRequested()) {
            outcome.status = StepStatus::Cancelled;
            break;
        }
        const ArchiveItem& item = items[index];
        host.SetStatus(ZippingStatus(item.sourcePath));
        host.SetPosition(index);
        const ZipResult result = writer->AddFile(item.StoredName(), item.sourcePath, CancelCheck(host));
        if (host.CancelRequested()) {
            outcome.status = StepStatus::Cancelled;
            break;
        }
        if (result != ZipResult::Success) {
            outcome.itemsLeftOut = true;
            const std::vector<MessageLine> reason = {ResultLine(result), MessageLine::Literal(item.sourcePath.string())};
            // A file that failed part-way leaves a damaged entry that cannot be
            // taken out again: the archive cannot be finished, so there is no
            // next file to go on with.
            if (!writer->AcceptsMoreFiles()) {
                ShowError(host, MessageOwner::Progress, reason);
                outcome.status = StepStatus::Failed;
                break;
            }
            if (!AskToContinueAfterFailure(host, reason)) {
                outcome.status = StepStatus::Failed;
                break;
            }
        }
    }
    if (!writer->AcceptsMoreFiles()) {
        writer->Close();  // the damage was reported with the file that caused it
        DeleteFile(zipPath);
        return outcome;
    }
    if (!CloseArchive(*writer, host)) {
        // The unfinished file stays; a cancellation is still a cancellation.
        outcome.status = outcome.status == StepStatus::Cancelled ? StepStatus::Cancelled : StepStatus::Failed;
        return outcome;
    }
    if (outcome.status != StepStatus::Done) {
        DeleteFile(zipPath);
        return outcome;
    }
    host.SetPosition(count);
    return outcome;
}

StepOutcome ZipSingleFile(const std::filesystem::path& source, const std::filesystem::path& zipPath, JobHost& host) {
    const std::unique_ptr<ZipWriter> writer = CreateArchive(zipPath, host);
    if (!writer) {
        return {StepStatus::Failed};
    }
    host.SetStatus(ZippingStatus(source));
    host.SetRange(1);
    host.SetPosition(0);

    bool failed = false;
    const ZipResult result = writer->AddFile(source.filename().string(), source, CancelCheck(host));
    if (host.CancelRequested()) {
        writer->Close();
        DeleteFile(zipPath);
        return {StepStatus::Cancelled};
    }
    if (result != ZipResult::Success) {
        ShowError(host, MessageOwner::Progress, {ResultLine(result), MessageLine::Literal(source.string())});
        failed = true;
    }
    failed = !CloseArchive(*writer, host) || failed;
    host.SetPosition(1);
    if (failed) {
        DeleteFile(zipPath);
        return {StepStatus::Failed};
    }
    return {};
}

StepOutcome EncryptStep(std::string_view password, std::string_view hint, const std::filesystem::path& source,
                        const std::filesystem::path& output, bool markZip, JobHost& host) {
    host.SetStatus(EncryptingStatus(source));
    const FileOperationResult result = EncryptFile(source, output, password, hint, markZip, &host);
    if (host.CancelRequested() || result.status == FileOperationStatus::Cancelled) {
        return {StepStatus::Cancelled};
    }
    if (!result.Completed()) {
        return {StepStatus::Failed, false, result.detail};
    }
    return {};
}

}  // namespace vaultpack
