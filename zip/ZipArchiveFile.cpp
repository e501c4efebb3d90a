#include "zip/ZipArchiveFile.h"

#include <algorithm>

#include <sys/stat.h>

#include "zip/ZipFormat.h"

namespace vaultpack {

namespace {

constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;

std::uint16_t U16(const unsigned char* bytes) { return static_cast<std::uint16_t>(LittleEndian(bytes, 2)); }
std::uint32_t U32(const unsigned char* bytes) { return static_cast<std::uint32_t>(LittleEndian(bytes, 4)); }
std::uint64_t U64(const unsigned char* bytes) { return LittleEndian(bytes, 8); }

// start + size <= limit, without overflow.
bool FitsWithin(std::uint64_t start, std::uint64_t size, std::uint64_t limit) {
    return start <= limit && size <= limit - start;
}

// Replaces the 32-bit fields that hold the Zip64 marker with the 64-bit
// values of the Zip64 extra field, which follow in this fixed order.
bool ApplyZip64Extra(CentralRecord& record, bool diskMarked) {
    std::uint64_t* const fields[] = {&record.uncompressedSize, &record.compressedSize, &record.localHeaderOffset};
    if (std::none_of(std::begin(fields), std::end(fields), [](auto* f) { return *f == kZip64Marker; }) && !diskMarked) {
        return true;
    }
    bool seen = false;
    bool applied = false;
    ForEachExtraField(record.extra, [&](std::uint16_t tag, std::span<const unsigned char> data) {
        if (tag != kZip64Tag || seen) {
            return;
        }
        seen = true;
        std::size_t offset = 0;
        for (std::uint64_t* field : fields) {
            if (*field != kZip64Marker) {
                continue;
            }
            if (offset + 8 > data.size()) {
                return;
            }
            *field = U64(&data[offset]);
            offset += 8;
        }
        applied = true;
    });
    return applied;
}

}  // namespace

ZipResult ZipArchiveFile::Open(const std::filesystem::path& path) {
    struct stat status {};
    try {
        file_ = FileHandle::OpenForReading(path);
        status = file_.Status();
    } catch (const FileError&) {
        return ZipResult::CannotOpenFile;
    }
    fileSize_ = static_cast<std::uint64_t>(status.st_size);

    std::uint64_t position = 0;
    std::uint64_t size = 0;
    std::uint64_t entries = 0;
    ZipResult result = FindCentralDirectory(position, size, entries);
    const std::uint64_t start = position;
    const std::uint64_t end = position + size;
    if (result == ZipResult::Success && entries > size / kCentralSize) {
        result = ZipResult::CorruptArchive;  // more records than the directory can hold
    }
    if (result == ZipResult::Success) {
        recordOffsets_.reserve(static_cast<std::size_t>(entries));
    }
    // Every record in the directory counts, not only as many as the end
    // record says: tools without Zip64 keep just the low 16 bits of a larger
    // count. Past the counted records, the first one that does not parse
    // ends the directory.
    // The directory is read in one go and its records parsed from memory;
    // it lies within the file, so its size is one the file really has.
    if (result == ZipResult::Success) {
        directoryStart_ = start;
        directory_.resize(static_cast<std::size_t>(size));
        if (!ReadAt(start, directory_.data(), directory_.size())) {
            result = ZipResult::ReadFailed;
        }
    }
    while (result == ZipResult::Success && position < end) {
        if (!FitsWithin(position, kCentralSize, end)) {
            break;
        }
        const unsigned char* header = directory_.data() + (position - start);
        const std::uint64_t length = kCentralSize + U16(header + 28) + U16(header + 30) + U16(header + 32);
        if (U32(header) != kCentralHeaderSignature || !FitsWithin(position, length, end)) {
            break;
        }
        recordOffsets_.push_back(position);
        position += length;
    }
    if (result == ZipResult::Success && recordOffsets_.size() < entries) {
        result = ZipResult::CorruptArchive;
    }
    if (result == ZipResult::Success) {
        result = CheckEntriesApart(start, end);
    }
    if (result != ZipResult::Success) {
        file_ = FileHandle();
        recordOffsets_.clear();
        directory_.clear();
    }
    return result;
}

ZipResult ZipArchiveFile::Close() {
    try {
        file_.Close();
        return ZipResult::Success;
    } catch (const FileError&) {
        return ZipResult::ReadFailed;
    }
}

bool ZipArchiveFile::ReadAt(std::uint64_t offset, void* data, std::size_t size) const {
    try {
        return file_.ReadAt(offset, data, size) == size;
    } catch (const FileError&) {
        return false;
    }
}

bool ZipArchiveFile::ReadThrough(ArchiveReadWindow& window, std::uint64_t offset, std::size_t size, std::size_t readAhead,
                                 const unsigned char*& data) const {
    if (offset >= window.start && size <= window.size && offset - window.start <= window.size - size) {
        data = window.bytes.data() + (offset - window.start);
        return true;
    }
    // Reading ahead pays only while entries are read in the order they are
    // stored; a step back reads just what is asked for.
    std::size_t length = size;
    if (offset >= window.start) {
        length = std::max(size, static_cast<std::size_t>(std::min<std::uint64_t>(readAhead, fileSize_ - offset)));
    }
    if (window.bytes.size() < length) {
        window.bytes.resize(length);
    }
    window.size = 0;
    if (!ReadAt(offset, window.bytes.data(), length)) {
        return false;
    }
    window.start = offset;
    window.size = length;
    data = window.bytes.data();
    return true;
}

ZipResult ZipArchiveFile::FindCentralDirectory(std::uint64_t& start, std::uint64_t& size, std::uint64_t& entries) {
    if (fileSize_ < kEndSize) {
        return ZipResult::CorruptArchive;
    }
    const std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize_, kEndSize + kMaxCommentSize));
    const std::uint64_t tailStart = fileSize_ - tailSize;
    std::vector<unsigned char> tail(tailSize);
    if (!ReadAt(tailStart, tail.data(), tailSize)) {
        return ZipResult::ReadFailed;
    }
    // The end record is the last one in the file, as most readers take it.
    // Refused: one whose comment runs past the end of the file, and one that
    // stops short of it (bytes appended) while an earlier record's comment
    // ends the file exactly. Readers that check comment lengths would take
    // that earlier one, and tools would disagree about what the archive holds.
    std::size_t found = tailSize;
    for (std::size_t i = tailSize - kEndSize + 1; i-- > 0;) {
        if (U32(&tail[i]) != kEndSignature) {
            continue;
        }
        const std::size_t commentEnd = i + kEndSize + U16(&tail[i + 20]);
        if (found == tailSize) {
            found = i;
            if (commentEnd > tailSize) {
                return ZipResult::CorruptArchive;
            }
            if (commentEnd == tailSize) {
                break;
            }
        } else if (commentEnd == tailSize) {
            return ZipResult::CorruptArchive;
        }
    }
    if (found == tailSize) {
        return ZipResult::CorruptArchive;
    }
    const unsigned char* record = &tail[found];
    const std::uint64_t endPosition = tailStart + found;
    if (U16(record + 4) != 0 || U16(record + 6) != 0) {
        return ZipResult::CorruptArchive;  // archives spanning several disks
    }
    entries = U16(record + 10);
    size = U32(record + 12);
    std::uint64_t offset = U32(record + 16);
    std::uint64_t directoryEnd = endPosition;

    unsigned char locator[kZip64LocatorSize];
    if (endPosition >= kZip64LocatorSize) {
        if (!ReadAt(endPosition - kZip64LocatorSize, locator, kZip64LocatorSize)) {
            return ZipResult::ReadFailed;
        }
        if (U32(locator) == kZip64LocatorSignature) {
            // The locator's position counts from the archive's start; with
            // bytes in front, the record is found right before the locator.
            const std::uint64_t limit = endPosition - kZip64LocatorSize;
            unsigned char zip64[kZip64EndSize];
            std::uint64_t position = U64(locator + 8);
            const auto isRecordAt = [&](std::uint64_t at) {
                return FitsWithin(at, kZip64EndSize, limit) && ReadAt(at, zip64, kZip64EndSize) &&
                       U32(zip64) == kZip64EndSignature;
            };
            if (!isRecordAt(position)) {
                position = limit - std::min<std::uint64_t>(limit, kZip64EndSize);
                if (!isRecordAt(position)) {
                    return ZipResult::CorruptArchive;
                }
            }
            entries = U64(zip64 + 32);
            size = U64(zip64 + 40);
            offset = U64(zip64 + 48);
            directoryEnd = position;
        }
    }
    if (!FitsWithin(offset, size, directoryEnd)) {
        return ZipResult::CorruptArchive;
    }
    bytesBefore_ = directoryEnd - (offset + size);
    start = bytesBefore_ + offset;
    return ZipResult::Success;
}

// Entries whose bytes overlap are how small archives extract to huge amounts
// of data (many records pointing at one stream); no tool writes them, so the
// whole archive is refused before anything is extracted. An entry whose local
// header cannot be found is left to fail on its own when extracted.
ZipResult ZipArchiveFile::CheckEntriesApart(std::uint64_t directoryStart, std::uint64_t directoryEnd) const {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans{{directoryStart, directoryEnd}};  // [start, end)
    spans.reserve(recordOffsets_.size() + 1);
    CentralRecord record;
    ArchiveReadWindow window;
    std::vector<unsigned char> localExtra;
    for (std::size_t index = 0; index < recordOffsets_.size(); ++index) {
        std::uint64_t dataOffset = 0;
        ZipResult result = ReadRecord(index, record);
        if (result == ZipResult::Success) {
            result = LocateData(record, window, dataOffset, localExtra);
        }
        if (result == ZipResult::ReadFailed) {
            return result;
        }
        if (result == ZipResult::Success) {
            spans.emplace_back(bytesBefore_ + record.localHeaderOffset, dataOffset + record.compressedSize);
        }
    }
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first < spans[i - 1].second) {
            return ZipResult::CorruptArchive;
        }
    }
    return ZipResult::Success;
}

std::uint64_t ZipArchiveFile::VariableRecordBytes() const {
    return directory_.size() - std::min<std::uint64_t>(directory_.size(), kCentralSize * recordOffsets_.size());
}

ZipResult ZipArchiveFile::ReadRecord(std::size_t index, CentralRecord& record) const {
    // Open made sure that every listed record lies within the directory.
    const unsigned char* header = directory_.data() + (recordOffsets_.at(index) - directoryStart_);
    record.versionMadeBy = U16(header + 4);
    record.flags = U16(header + 8);
    record.method = U16(header + 10);
    record.dosDateTime = static_cast<std::uint32_t>(U16(header + 14)) << 16 | U16(header + 12);
    record.crc = U32(header + 16);
    record.compressedSize = U32(header + 20);
    record.uncompressedSize = U32(header + 24);
    record.externalAttributes = U32(header + 38);
    record.localHeaderOffset = U32(header + 42);
    const unsigned char* name = header + kCentralSize;
    const unsigned char* extra = name + U16(header + 28);
    record.rawName.assign(reinterpret_cast<const char*>(name), U16(header + 28));
    record.extra.assign(extra, extra + U16(header + 30));
    return ApplyZip64Extra(record, U16(header + 34) == 0xFFFF) ? ZipResult::Success : ZipResult::CorruptArchive;
}

ZipResult ZipArchiveFile::LocateData(const CentralRecord& record, ArchiveReadWindow& window, std::uint64_t& dataOffset,
                                     std::vector<unsigned char>& localExtra) const {
    const unsigned char* header = nullptr;
    if (!FitsWithin(bytesBefore_, record.localHeaderOffset, fileSize_)) {
        return ZipResult::CorruptArchive;
    }
    const std::uint64_t position = bytesBefore_ + record.localHeaderOffset;
    if (!FitsWithin(position, kLocalSize, fileSize_)) {
        return ZipResult::CorruptArchive;
    }
    // Past a small entry's header come its data and the next entries; before
    // a large one's data, only the header is worth reading.
    const std::size_t headerGuess = kLocalSize + record.rawName.size() + record.extra.size();
    const std::size_t readAhead = record.compressedSize <= kWindowSize / 2 ? kWindowSize : headerGuess;
    if (!ReadThrough(window, position, kLocalSize, readAhead, header)) {
        return ZipResult::ReadFailed;
    }
    const std::size_t extraSize = U16(header + 28);
    const std::uint64_t headerSize = kLocalSize + U16(header + 26) + extraSize;
    if (U32(header) != kLocalHeaderSignature || !FitsWithin(position, headerSize, fileSize_)) {
        return ZipResult::CorruptArchive;
    }
    dataOffset = position + headerSize;
    const unsigned char* extra = nullptr;
    if (!ReadThrough(window, dataOffset - extraSize, extraSize, extraSize, extra)) {
        return ZipResult::ReadFailed;
    }
    localExtra.assign(extra, extra + extraSize);
    return FitsWithin(dataOffset, record.compressedSize, fileSize_) ? ZipResult::Success : ZipResult::CorruptArchive;
}

}  // namespace vaultpack
