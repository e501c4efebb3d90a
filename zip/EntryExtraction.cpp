#include "zip/EntryExtraction.h"

#include <sys/stat.h>

#include "zip/EntryDecision.h"
#include "zip/EntryPath.h"
#include "zip/ZipFormat.h"

namespace vaultpack {

namespace {

using Reason = FailureReason;

bool Cancelled(const std::function<bool()>& cancelRequested) {
    return cancelRequested && cancelRequested();
}

EntryOutcome CancelledAt(const std::string& path) {
    return EntryOutcome::Failed(ZipResult::PartiallyUnzipped, Reason::Cancelled, path);
}

EntryOutcome DataFailure(ZipResult result, const std::string& path, const PasswordUse& use = {}) {
    return EntryOutcome::Failed(result, use.refusal != Reason::None ? use.refusal : Reason::ArchiveData, path);
}

EntryOutcome ExtractLink(ZipReader& reader, const ZipEntryInfo& info, const EntryWriter& writer,
                         const EntryWriter::Place& place, bool replace, PasswordUse& use) {
    std::string linkTarget;
    if (const ZipResult result = reader.ReadLinkTarget(info.index, linkTarget, use); result != ZipResult::Success) {
        return result == ZipResult::FaultyArguments
                   ? EntryOutcome::Failed(result, Reason::LinkUnreadable, info.name)
                   : DataFailure(result, place.path, use);
    }
    if (!LinkTargetStaysBelow(info.name, linkTarget)) {
        return EntryOutcome::Failed(ZipResult::FaultyArguments,
                                    Failure::Of(Reason::LinkLeavesFolder, info.name, std::move(linkTarget)));
    }
    return writer.WriteLink(place, linkTarget, replace);
}

}  // namespace

EntryOutcome ExtractWholeFile(const ZipReader& reader, const CentralRecord& record, const ZipEntryInfo& info,
                              const EntryWriter& writer, const EntryWriter::Place& place,
                              ZipReader::WholeEntryBuffers& buffers, bool replace, PasswordUse& use,
                              const std::function<bool()>& cancelRequested, MadeFile* keep, int* registration) {
    std::uint64_t dataOffset = 0;
    EntryTimes times;
    std::span<const unsigned char> data;
    ZipResult result = reader.LocateData(record, buffers, dataOffset, times);
    if (result == ZipResult::Success && Cancelled(cancelRequested)) {
        return CancelledAt(place.path);
    }
    if (result == ZipResult::Success) {
        result = reader.ReadWhole(record, dataOffset, buffers, data, use);
    }
    if (result != ZipResult::Success) {
        return DataFailure(result, place.path, use);
    }
    if (Cancelled(cancelRequested)) {
        return CancelledAt(place.path);
    }
    const auto fill = [data](FileHandle& file) {
        file.WriteAll(data.data(), data.size());
        return ZipResult::Success;
    };
    return writer.WriteFile(place, info, times, fill, replace, keep, registration);
}

EntryOutcome ExtractEntryAt(ZipReader& reader, const ZipEntryInfo& info, const EntryWriter& writer,
                            const EntryWriter::Place& place, bool replace, PasswordUse& use,
                            const std::function<bool()>& cancelRequested) {
    if (info.isFolder) {
        return EntryOutcome::Done();
    }
    if (S_ISLNK(info.mode)) {
        return ExtractLink(reader, info, writer, place, replace, use);
    }
    const CentralRecord& record = reader.Record();
    if (ZipReader::FitsInMemory(record)) {
        return ExtractWholeFile(reader, record, info, writer, place, reader.Buffers(), replace, use, cancelRequested);
    }
    std::uint64_t dataOffset = 0;
    EntryTimes times;
    if (const ZipResult result = reader.LocateData(record, reader.Buffers(), dataOffset, times);
        result != ZipResult::Success) {
        return DataFailure(result, place.path);
    }
    const auto fill = [&](FileHandle& file) {
        return reader.StreamData(record, dataOffset, file, cancelRequested, use);
    };
    EntryOutcome outcome = writer.WriteFile(place, info, times, fill, replace);
    if (use.refusal != Reason::None) {
        outcome.failure = Failure::Of(use.refusal, place.path);
    }
    return outcome;
}

ZipResult ExtractEntry(ZipReader& reader, std::int64_t index, const std::filesystem::path& targetPath,
                       const std::function<bool()>& cancelRequested, bool replaceExisting,
                       const std::string* password) {
    ZipEntryInfo info;
    if (const ZipResult result = index < 0 ? ZipResult::FaultyArguments : reader.GetEntry(index, info);
        result != ZipResult::Success || info.isFolder) {
        return result;
    }
    EntryWriter writer(targetPath.parent_path());
    EntryWriter::Place place;
    EntryOutcome outcome = writer.Prepare(targetPath.filename().native(), false, place);
    if (outcome.Succeeded()) {
        outcome = RefusalOfKind(info);
    }
    if (outcome.Succeeded()) {
        PasswordUse use{password};
        outcome = ExtractEntryAt(reader, info, writer, place, replaceExisting, use, cancelRequested);
    }
    return outcome.result;
}

}  // namespace vaultpack
