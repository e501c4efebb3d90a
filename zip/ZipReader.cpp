#include "zip/ZipReader.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <string>

#include <sys/stat.h>

#include <libdeflate.h>

#include "zip/Crc32.h"
#include "zip/EntryCipher.h"
#include "zip/EntryPath.h"
#include "zip/StreamInflater.h"
#include "zip/ZipFormat.h"

namespace vaultpack {

namespace {

// Entries up to this size, compressed and not, are inflated whole in memory;
// larger ones are streamed in pieces, so memory stays bounded either way.
constexpr std::uint64_t kWholeEntryLimit = 16 * 1024 * 1024;
constexpr std::size_t kMaxDeflateRatio = 1032;
constexpr std::uint32_t kDosFolder = 0x10;
// p7zip marks a Unix mode in the upper half this way, whatever host it names.
constexpr std::uint32_t kUnixExtensionFlag = 0x8000;
constexpr unsigned kHostMacOsX = 19;
// The hosts whose tools store names in code page 437: MS-DOS, NTFS and VFAT.
constexpr unsigned kHostDos = 0;
constexpr unsigned kHostNtfs = 11;
constexpr unsigned kHostVfat = 14;

bool IsKnownFileType(mode_t mode) {
    return S_ISREG(mode) || S_ISDIR(mode) || S_ISLNK(mode);
}

void Describe(const CentralRecord& record, ZipEntryInfo& info) {
    info.externalAttributes = record.externalAttributes;
    const auto upper = static_cast<mode_t>(record.externalAttributes >> 16);
    const unsigned host = record.versionMadeBy >> 8;
    // Entries from Unix tools name their host; minizip rewrites the host of
    // Zip64 entries, so a recognisable file type counts as well.
    info.hasUnixMode = upper != 0 && (host == kHostUnix || host == kHostMacOsX ||
                                      (record.externalAttributes & kUnixExtensionFlag) != 0 ||
                                      IsKnownFileType(upper & S_IFMT));
    const bool fromDosHost = (host == kHostDos || host == kHostNtfs || host == kHostVfat) && !info.hasUnixMode &&
                             (record.flags & kUtf8NameFlag) == 0;
    info.name = DecodeEntryName(record.rawName, fromDosHost);
    info.isFolder = (!info.name.empty() && info.name.back() == '/') ||
                    (record.externalAttributes & kDosFolder) != 0 || (info.hasUnixMode && S_ISDIR(upper));
    if (info.hasUnixMode) {
        const mode_t type = info.isFolder ? S_IFDIR : ((upper & S_IFMT) != 0 ? upper & S_IFMT : S_IFREG);
        info.mode = type | (upper & 07777);
    } else {
        info.mode = info.isFolder ? (S_IFDIR | 0755) : (S_IFREG | 0644);
        if ((record.externalAttributes & kDosReadOnly) != 0) {
            info.mode &= ~static_cast<mode_t>(0222);
        }
    }
    const EntryProtection protection = ProtectionOf(record);
    info.method = protection.method;
    info.encrypted = protection.scheme != EntryEncryption::None;
    info.encryption = protection.scheme;
    info.aesKeyBits = protection.AesKeyBits();
    info.uncompressedSize = record.uncompressedSize;
    info.compressedSize = record.compressedSize;
    info.crc = record.crc;

    const EntryTimes times = ReadEntryTimes(record.dosDateTime, {record.extra});
    info.lastWriteTime = times.modification.seconds;
    info.lastAccessTime = times.access.seconds;
    info.creationTime = times.creation.seconds;
}

}  // namespace

std::unique_ptr<ZipReader> ZipReader::Open(const std::filesystem::path& archivePath, ZipResult* reason) {
    std::unique_ptr<ZipReader> reader(new ZipReader());
    const ZipResult result = reader->archive_.Open(archivePath);
    if (result != ZipResult::Success) {
        if (reason != nullptr) {
            *reason = result;
        }
        return nullptr;
    }
    return reader;
}

ZipResult ZipReader::GetEntry(std::int64_t index, ZipEntryInfo& info) {
    if (index == -1 && archive_.IsOpen()) {
        info = ZipEntryInfo{};
        info.entryCount = static_cast<std::int64_t>(archive_.EntryCount());
        return ZipResult::Success;
    }
    return ReadEntry(index, record_, info);
}

ZipResult ZipReader::ReadEntry(std::int64_t index, CentralRecord& record, ZipEntryInfo& info) const {
    const auto count = static_cast<std::int64_t>(archive_.EntryCount());
    if (!archive_.IsOpen() || index < 0 || index >= count) {
        return ZipResult::FaultyArguments;
    }
    const ZipResult result = archive_.ReadRecord(static_cast<std::size_t>(index), record);
    if (result != ZipResult::Success) {
        return result;
    }
    info = ZipEntryInfo{};
    info.index = index;
    info.entryCount = count;
    Describe(record, info);
    return ZipResult::Success;
}

bool ZipReader::FitsInMemory(const CentralRecord& record) {
    return record.compressedSize <= kWholeEntryLimit && record.uncompressedSize <= kWholeEntryLimit;
}

ZipResult ZipReader::LocateData(const CentralRecord& record, WholeEntryBuffers& buffers, std::uint64_t& dataOffset,
                                EntryTimes& times) const {
    const ZipResult result = archive_.LocateData(record, buffers.window, dataOffset, buffers.localExtra);
    // The local header may hold times the central record lacks (its "UT" copy
    // has the access time); the central record's count first.
    times = ReadEntryTimes(record.dosDateTime, {record.extra, buffers.localExtra});
    return result;
}

ZipResult ZipReader::StreamData(const CentralRecord& record, std::uint64_t dataOffset, FileHandle& file,
                                const std::function<bool()>& cancelRequested, PasswordUse& use) const {
    return InflateStreamToFile(archive_, record, dataOffset, file, cancelRequested, use);
}

namespace {

// Decrypts an encrypted entry's bytes (header, data, trailer) into `plain`
// and checks them; input then points at the plain data.
ZipResult DecryptWhole(const EntryProtection& protection, std::span<const unsigned char>& input,
                       std::vector<unsigned char>& plain, PasswordUse& use) {
    const std::size_t header = protection.HeaderSize();
    const std::size_t trailer = protection.TrailerSize();
    if (input.size() < header + trailer || use.password == nullptr) {
        return ZipResult::CorruptArchive;
    }
    std::optional<EntryDecryptor> decryptor = EntryDecryptor::Open(protection, *use.password, input.first(header));
    if (!decryptor) {
        use.refusal = FailureReason::EntryWrongPassword;
        return ZipResult::CorruptArchive;
    }
    const std::span<const unsigned char> data = input.subspan(header, input.size() - header - trailer);
    plain.assign(data.begin(), data.end());
    decryptor->Decrypt(plain.data(), plain.size());
    if (!decryptor->Authentic(input.last(trailer))) {
        use.refusal = FailureReason::EntryDataChanged;
        return ZipResult::CorruptArchive;
    }
    input = plain;
    return ZipResult::Success;
}

}  // namespace

// Both sizes are capped by kWholeEntryLimit; the compressed one also lies
// within the file.
ZipResult ZipReader::ReadWhole(const CentralRecord& record, std::uint64_t dataOffset, WholeEntryBuffers& buffers,
                               std::span<const unsigned char>& data, PasswordUse& use) const {
    const EntryProtection protection = ProtectionOf(record);
    const unsigned char* read = nullptr;
    if (!archive_.ReadThrough(buffers.window, dataOffset, static_cast<std::size_t>(record.compressedSize),
                              ZipArchiveFile::kWindowSize, read)) {
        return ZipResult::ReadFailed;
    }
    std::span<const unsigned char> input{read, static_cast<std::size_t>(record.compressedSize)};
    if (protection.scheme != EntryEncryption::None) {
        if (const ZipResult result = DecryptWhole(protection, input, buffers.decrypted, use);
            result != ZipResult::Success) {
            return result;
        }
    }
    const std::size_t compressedSize = input.size();
    const auto size = static_cast<std::size_t>(record.uncompressedSize);
    const bool stored = protection.method == kMethodStored;
    // Deflate cannot expand data more than about 1032 times; a larger claim
    // is damage and gets no buffer.
    if (stored ? compressedSize != size : size / kMaxDeflateRatio > compressedSize) {
        return ZipResult::CorruptArchive;
    }
    if (stored) {
        data = input;
    } else {
        if (!buffers.decompressor) {
            buffers.decompressor.reset(libdeflate_alloc_decompressor());
            if (!buffers.decompressor) {
                return ZipResult::OutOfMemory;
            }
        }
        if (buffers.output.size() < size) {
            buffers.output.resize(size);
        }
        // Success means exactly `size` bytes came out: fewer, more or bad
        // data all fail.
        if (libdeflate_deflate_decompress(buffers.decompressor.get(), input.data(), compressedSize,
                                          buffers.output.data(), size, nullptr) != LIBDEFLATE_SUCCESS) {
            return ZipResult::CorruptArchive;
        }
        data = {buffers.output.data(), size};
    }
    // AE-2 stores no CRC: its authentication code covers the data.
    if (protection.checkCrc && Crc32(0, data) != record.crc) {
        NoteTraditionalMismatch(protection, use);
        return ZipResult::CorruptArchive;
    }
    return ZipResult::Success;
}

ZipResult ZipReader::ReadLinkTarget(std::int64_t index, std::string& linkTarget, PasswordUse& use) {
    ZipEntryInfo info;
    ZipResult result = index < 0 ? ZipResult::FaultyArguments : GetEntry(index, info);
    if (result != ZipResult::Success) {
        return result;
    }
    if (info.isFolder || !S_ISLNK(info.mode) || info.uncompressedSize >= PATH_MAX ||
        (info.method != kMethodStored && info.method != kMethodDeflated)) {
        return ZipResult::FaultyArguments;
    }
    if (!FitsInMemory(record_)) {
        return ZipResult::CorruptArchive;  // no link target takes that much
    }
    std::uint64_t dataOffset = 0;
    result = archive_.LocateData(record_, whole_.window, dataOffset, whole_.localExtra);
    std::span<const unsigned char> data;
    if (result == ZipResult::Success) {
        result = ReadWhole(record_, dataOffset, whole_, data, use);
    }
    if (result == ZipResult::Success) {
        linkTarget.assign(data.begin(), data.end());
    }
    return result;
}

void ZipReader::WholeEntryBuffers::FreeDecompressor::operator()(libdeflate_decompressor* decompressor) const {
    libdeflate_free_decompressor(decompressor);
}

ZipResult ZipReader::Close() {
    if (!archive_.IsOpen()) {
        return ZipResult::FaultyArguments;
    }
    return archive_.Close();
}

}  // namespace vaultpack
