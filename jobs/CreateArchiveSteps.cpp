#include "jobs/CreateArchiveSteps.h"

#include <algorithm>
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
        ShowCloseZipFailure(host, result, ReasonLine(writer.LastFailure()));
        return false;
    }
    return true;
}

// An AddFile failure: the result's text, then the file at fault (the archive
// for a failed write, otherwise the source), then why, where that is known.
std::vector<MessageLine> AddFailureLines(ZipResult result, const Failure& failure,
                                         const std::filesystem::path& source, const StepOutput& archive) {
    std::vector<MessageLine> lines{
        ZipResultLine(result),
        MessageLine::Literal((result == ZipResult::WriteFailed ? archive.shown : source).string())};
    if (std::optional<MessageLine> cause = ReasonLine(failure)) {
        lines.push_back(std::move(*cause));
    }
    return lines;
}

// Lets a long file stop between its pieces when the user cancels.
std::function<bool()> CancelCheck(const JobHost& host) {
    return [&host] { return host.CancelRequested(); };
}

// A bar that counts units (bytes, or files when there are no bytes to
// count): positions are the units shifted right as far as the total needs for
// the range to fit a progress bar's 31 bits.
class UnitBar {
public:
    explicit UnitBar(std::uint64_t total) : total_(total) {
        while ((total >> shift_) > 0x7FFF'FFFF) {
            ++shift_;
        }
    }
    std::uint32_t Range() const { return PositionFor(total_); }
    std::uint32_t PositionFor(std::uint64_t units) const {
        return static_cast<std::uint32_t>(std::min(units, total_) >> shift_);
    }

private:
    std::uint64_t total_;
    int shift_ = 0;
};

std::uint64_t SizeOf(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// Moves the bar within a large file as its bytes go into the archive.
std::function<void(std::uint64_t)> BytesWritten(JobHost& host, const UnitBar& bar, std::uint64_t start,
                                                std::uint64_t units) {
    return [&host, &bar, start, units](std::uint64_t bytes) {
        host.SetPosition(bar.PositionFor(start + std::min(bytes, units)));
    };
}

std::unique_ptr<ZipWriter> CreateArchive(const StepOutput& archive, const ZipProtection& protection, JobHost& host) {
    Failure failure;
    std::unique_ptr<ZipWriter> writer = ZipWriter::Create(archive.file, archive.shown, &failure);
    if (writer && protection.aesPassword) {
        writer->ProtectWithAes(*protection.aesPassword);
    }
    if (!writer) {
        std::vector<MessageLine> lines{MessageLine::Text(MessageId::CreateZipFailed)};
        if (std::optional<MessageLine> cause = ReasonLine(failure)) {
            lines.push_back(std::move(*cause));
        }
        ShowError(host, MessageOwner::Progress, std::move(lines));
    }
    return writer;
}

}  // namespace

StepOutcome ZipItemList(const std::vector<ArchiveItem>& items, const StepOutput& archive, unsigned threads,
                        const ZipProtection& protection, JobHost& host) {
    const std::unique_ptr<ZipWriter> writer = CreateArchive(archive, protection, host);
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

    // The bar counts bytes, so that it moves evenly through small and large
    // files alike; a list of empty files has none, and then it counts files.
    std::vector<std::uint64_t> sizes;
    sizes.reserve(items.size());
    std::uint64_t totalBytes = 0;
    for (const ArchiveItem& item : items) {
        sizes.push_back(SizeOf(item.sourcePath));
        totalBytes += sizes.back();
    }
    const bool byBytes = totalBytes > 0;
    const UnitBar bar(byBytes ? totalBytes : count);
    const ProgressAmounts amounts{0, count, byBytes ? totalBytes : 0};
    host.SetRange(bar.Range());
    host.SetPosition(0);
    host.SetAmounts(amounts);
    std::uint64_t unitsBefore = 0;

    StepOutcome outcome;
    for (std::uint32_t index = 0; index < count; ++index) {
        if (host.CancelRequested()) {
            outcome.status = StepStatus::Cancelled;
            break;
        }
        const ArchiveItem& item = items[index];
        host.SetStatus(ZippingStatus(item.sourcePath));
        host.SetPosition(bar.PositionFor(unitsBefore));
        host.SetAmounts({index, count, amounts.rangeBytes});
        const std::uint64_t units = byBytes ? sizes[index] : 1;
        PreparedEntry entry = preparer->Take(index);
        const ZipResult result = writer->AddPrepared(item.StoredName(), entry, CancelCheck(host),
                                                     BytesWritten(host, bar, unitsBefore, units));
        unitsBefore += units;
        if (host.CancelRequested()) {
            outcome.status = StepStatus::Cancelled;
            break;
        }
        if (result != ZipResult::Success) {
            outcome.itemsLeftOut = true;
            const std::vector<MessageLine> reason =
                AddFailureLines(result, writer->LastFailure(), item.sourcePath, archive);
            // A file that failed part-way leaves a damaged entry that cannot be
            // taken out again: the archive cannot be finished, so there is no
            // next file to go on with.
            if (!writer->AcceptsMoreFiles()) {
                ShowError(host, MessageOwner::Progress, reason);
                outcome.status = StepStatus::Failed;
                break;
            }
            if (!host.AskContinueAfterFailure(reason)) {
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
        host.SetPosition(bar.Range());
        host.SetAmounts({count, count, amounts.rangeBytes});
    }
    return outcome;
}

StepOutcome ZipSingleFile(const std::filesystem::path& source, std::string_view storedName,
                          const StepOutput& archive, unsigned threads, const ZipProtection& protection,
                          JobHost& host) {
    const std::unique_ptr<ZipWriter> writer = CreateArchive(archive, protection, host);
    if (!writer) {
        return {StepStatus::Failed};
    }
    host.SetStatus(ZippingStatus(source));
    const std::uint64_t size = SizeOf(source);
    // By bytes, so that the bar moves within a large file; an empty one counts as one unit.
    const UnitBar bar(std::max<std::uint64_t>(size, 1));
    host.SetRange(bar.Range());
    host.SetPosition(0);
    host.SetAmounts({0, 1, size});

    ZipResult result = ZipResult::Success;
    {
        // The workers deflate a large file's blocks while this thread writes them.
        ParallelPreparer preparer(*writer, {{std::string(storedName), source}}, threads);
        PreparedEntry entry = preparer.Take(0);
        result = writer->AddPrepared(storedName, entry, CancelCheck(host), BytesWritten(host, bar, 0, size));
    }
    if (host.CancelRequested()) {
        writer->Close();
        return {StepStatus::Cancelled};
    }
    if (result != ZipResult::Success) {
        ShowError(host, MessageOwner::Progress, AddFailureLines(result, writer->LastFailure(), source, archive));
    }
    const bool closed = CloseArchive(*writer, host);
    host.SetPosition(bar.Range());
    return {result == ZipResult::Success && closed ? StepStatus::Done : StepStatus::Failed};
}

StepOutcome EncryptStep(std::string_view password, std::string_view hint, const std::filesystem::path& source,
                        const StepOutput& output, bool markZip, JobHost& host) {
    host.SetStatus(EncryptingStatus(source));
    // The cipher's bar stands for the source's bytes.
    host.SetAmounts({0, 1, SizeOf(source)});
    const FileOperationResult result = EncryptFile(source, output.file, output.shown, password, hint, markZip, &host);
    if (host.CancelRequested() || result.status == FileOperationStatus::Cancelled) {
        return {StepStatus::Cancelled};
    }
    if (!result.Completed()) {
        return {StepStatus::Failed, false, ReasonLine(result.failure).value_or(InternalErrorLine("encrypt"))};
    }
    return {};
}

}  // namespace vaultpack
