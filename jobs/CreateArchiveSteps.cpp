#include "jobs/CreateArchiveSteps.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "crypto/EncryptFile.h"
#include "jobs/FailureReasons.h"
#include "jobs/JobMessages.h"
#include "jobs/StatusText.h"
#include "zip/ParallelPreparer.h"
#include "zip/ZipWriter.h"

namespace vaultpack {

namespace {

// Closes the archive; true when it is complete. A failing close is shown,
// except for an archive that a file damaged part-way: that was reported with
// the file, and such an archive cannot be completed anyway.
bool CloseArchive(ZipWriter& writer, JobHost& host) {
    if (!writer.AcceptsMoreFiles()) {
        writer.Close();
        return false;
    }
    const ZipResult result = writer.Close();
    if (result != ZipResult::Success) {
        ShowCloseZipFailure(host, result);
        return false;
    }
    return true;
}

// An AddFile failure: the result's text, then the file at fault: the archive
// for a failed write, otherwise the source.
std::vector<MessageLine> AddFailureLines(ZipResult result, const std::filesystem::path& source,
                                         const std::filesystem::path& shownArchive) {
    return {ZipResultLine(result),
            MessageLine::Literal((result == ZipResult::WriteFailed ? shownArchive : source).string())};
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

StepOutcome ZipItemList(const std::vector<ArchiveItem>& items, const std::filesystem::path& zipPath,
                        const std::filesystem::path& shownArchive, unsigned threads, JobHost& host) {
    const std::unique_ptr<ZipWriter> writer = CreateArchive(zipPath, host);
    if (!writer) {
        return {StepStatus::Failed};
    }
    std::vector<ParallelPreparer::Source> sources;
    sources.reserve(items.size());
    for (const ArchiveItem& item : items) {
        sources.push_back({item.StoredName(), item.sourcePath});
    }
    // Files are read and compressed ahead on worker threads; they are added,
    // reported and asked about here, one by one in list order. The workers
    // stop before the archive is closed.
    std::optional<ParallelPreparer> preparer(std::in_place, *writer, std::move(sources), threads);
    const auto count = static_cast<std::uint32_t>(items.size());
    host.SetRange(count);
    host.SetPosition(0);

    StepOutcome outcome;
    for (std::uint32_t index = 0; index < count; ++index) {
        if (host.CancelRequested()) {
            outcome.status = StepStatus::Cancelled;
            break;
        }
        const ArchiveItem& item = items[index];
        host.SetStatus(ZippingStatus(item.sourcePath));
        host.SetPosition(index);
        PreparedEntry entry = preparer->Take(index);
        const ZipResult result = writer->AddPrepared(item.StoredName(), entry, CancelCheck(host));
        if (host.CancelRequested()) {
            outcome.status = StepStatus::Cancelled;
            break;
        }
        if (result != ZipResult::Success) {
            outcome.itemsLeftOut = true;
            const std::vector<MessageLine> reason = AddFailureLines(result, item.sourcePath, shownArchive);
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
    preparer.reset();
    if (!CloseArchive(*writer, host) && outcome.status == StepStatus::Done) {
        outcome.status = StepStatus::Failed;
    }
    if (outcome.status == StepStatus::Done) {
        host.SetPosition(count);
    }
    return outcome;
}

StepOutcome ZipSingleFile(const std::filesystem::path& source, std::string_view storedName,
                          const std::filesystem::path& zipPath, const std::filesystem::path& shownArchive,
                          JobHost& host) {
    const std::unique_ptr<ZipWriter> writer = CreateArchive(zipPath, host);
    if (!writer) {
        return {StepStatus::Failed};
    }
    host.SetStatus(ZippingStatus(source));
    host.SetRange(1);
    host.SetPosition(0);

    const ZipResult result = writer->AddFile(storedName, source, CancelCheck(host));
    if (host.CancelRequested()) {
        writer->Close();
        return {StepStatus::Cancelled};
    }
    if (result != ZipResult::Success) {
        ShowError(host, MessageOwner::Progress, AddFailureLines(result, source, shownArchive));
    }
    const bool closed = CloseArchive(*writer, host);
    host.SetPosition(1);
    return {result == ZipResult::Success && closed ? StepStatus::Done : StepStatus::Failed};
}

StepOutcome EncryptStep(std::string_view password, std::string_view hint, const std::filesystem::path& source,
                        const std::filesystem::path& output, bool markZip, JobHost& host) {
    host.SetStatus(EncryptingStatus(source));
    const FileOperationResult result = EncryptFile(source, output, password, hint, markZip, &host);
    if (host.CancelRequested() || result.status == FileOperationStatus::Cancelled) {
        return {StepStatus::Cancelled};
    }
    if (!result.Completed()) {
        return {StepStatus::Failed, false, ReasonLine(result)};
    }
    return {};
}

}  // namespace vaultpack
