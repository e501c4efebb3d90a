#include "zip/ZipRecordWriter.h"

#include <limits>

#include "zip/ZipFormat.h"

namespace vaultpack {

namespace {

constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kVersionNeededZip64 = 45;
constexpr std::uint16_t kVersionNeededAes = 51;

std::uint16_t VersionNeeded(std::uint16_t method, bool zip64) {
    return method == kMethodAes ? kVersionNeededAes : zip64 ? kVersionNeededZip64 : kVersionNeeded;
}
// Version made by: Unix in the high byte, so that readers take the upper
// half of the external attributes as a Unix mode; ZIP format version 3.0 in
// the low byte.
constexpr std::uint16_t kVersionMadeBy = kHostUnix << 8 | 30u;
constexpr std::uint32_t kMost32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint16_t kMost16 = std::numeric_limits<std::uint16_t>::max();
// Offsets in a local header.
constexpr std::size_t kLocalCrcAt = 14;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kLocalZip64SizesAt = 4;  // within the Zip64 field

class Bytes {
public:
    explicit Bytes(std::vector<unsigned char>& out) : out_(out) {}
    Bytes& Put(std::uint64_t value, int count) {
        for (int i = 0; i < count; ++i) {
            out_.push_back(static_cast<unsigned char>(value >> (8 * i)));
        }
        return *this;
    }
    Bytes& Put(std::span<const unsigned char> bytes) {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes& Put(const std::string& text) {
        out_.insert(out_.end(), text.begin(), text.end());
        return *this;
    }

private:
    std::vector<unsigned char>& out_;
};

std::span<const unsigned char> Little(std::uint64_t value, int count, unsigned char (&buffer)[8]) {
    for (int i = 0; i < count; ++i) {
        buffer[i] = static_cast<unsigned char>(value >> (8 * i));
    }
    return {buffer, static_cast<std::size_t>(count)};
}

}  // namespace

ZipResult ZipRecordWriter::Begin(const EntryHeader& header) {
    current_ = header;
    localHeaderOffset_ = stream_.position;
    std::vector<unsigned char> local;
    const std::size_t zip64Size = header.zip64 ? 20 : 0;
    Bytes(local)
        .Put(kLocalHeaderSignature, 4)
        .Put(VersionNeeded(header.method, header.zip64), 2)
        .Put(header.flags, 2)
        .Put(header.method, 2)
        .Put(header.dosDateTime, 4)
        .Put(0, 4)  // CRC, filled in at End
        .Put(header.zip64 ? kMost32 : 0, 4)
        .Put(header.zip64 ? kMost32 : 0, 4)
        .Put(header.name.size(), 2)
        .Put(header.localExtra.size() + zip64Size, 2)
        .Put(header.name);
    if (header.zip64) {
        Bytes(local).Put(kZip64Tag, 2).Put(16, 2).Put(0, 8).Put(0, 8);
    }
    Bytes(local).Put(header.localExtra);
    const bool written = stream_.Write(local.data(), local.size());
    dataOffset_ = stream_.position;
    return Written(written);
}

ZipResult ZipRecordWriter::Write(std::span<const unsigned char> data) {
    return Written(stream_.Write(data.data(), data.size()));
}

ZipResult ZipRecordWriter::End(std::uint32_t crc, std::uint64_t uncompressedSize) {
    const std::uint64_t end = stream_.position;
    const std::uint64_t compressedSize = end - dataOffset_;
    if (!current_.zip64 && (compressedSize >= kMost32 || uncompressedSize >= kMost32)) {
        return ZipResult::SizeMismatch;
    }
    unsigned char buffer[8];
    stream_.position = localHeaderOffset_ + kLocalCrcAt;
    bool written = stream_.Write(Little(crc, 4, buffer).data(), 4);
    if (current_.zip64) {
        stream_.position = localHeaderOffset_ + kLocalHeaderSize + current_.name.size() + kLocalZip64SizesAt;
        written = written && stream_.Write(Little(uncompressedSize, 8, buffer).data(), 8) &&
                  stream_.Write(Little(compressedSize, 8, buffer).data(), 8);
    } else {
        written = written && stream_.Write(Little(compressedSize, 4, buffer).data(), 4) &&
                  stream_.Write(Little(uncompressedSize, 4, buffer).data(), 4);
    }
    stream_.position = end;

    // The central record: the Zip64 field holds, in this order, the values
    // that do not fit their own fields.
    std::vector<unsigned char> zip64;
    if (uncompressedSize >= kMost32) {
        Bytes(zip64).Put(uncompressedSize, 8);
    }
    if (compressedSize >= kMost32) {
        Bytes(zip64).Put(compressedSize, 8);
    }
    if (localHeaderOffset_ >= kMost32) {
        Bytes(zip64).Put(localHeaderOffset_, 8);
    }
    const bool needsZip64 = current_.zip64 || !zip64.empty();
    const std::size_t zip64Size = zip64.empty() ? 0 : 4 + zip64.size();
    Bytes(centralDirectory_)
        .Put(kCentralHeaderSignature, 4)
        .Put(kVersionMadeBy, 2)
        .Put(VersionNeeded(current_.method, needsZip64), 2)
        .Put(current_.flags, 2)
        .Put(current_.method, 2)
        .Put(current_.dosDateTime, 4)
        .Put(crc, 4)
        .Put(std::min<std::uint64_t>(compressedSize, kMost32), 4)
        .Put(std::min<std::uint64_t>(uncompressedSize, kMost32), 4)
        .Put(current_.name.size(), 2)
        .Put(current_.centralExtra.size() + zip64Size, 2)
        .Put(0, 2)  // comment
        .Put(0, 2)  // disk
        .Put(0, 2)  // internal attributes
        .Put(current_.externalAttributes, 4)
        .Put(std::min<std::uint64_t>(localHeaderOffset_, kMost32), 4)
        .Put(current_.name);
    if (!zip64.empty()) {
        Bytes(centralDirectory_).Put(kZip64Tag, 2).Put(zip64.size(), 2).Put(zip64);
    }
    Bytes(centralDirectory_).Put(current_.centralExtra);
    ++entries_;
    return Written(written);
}

ZipResult ZipRecordWriter::Finish() {
    const std::uint64_t directoryOffset = stream_.position;
    const std::uint64_t directorySize = centralDirectory_.size();
    std::vector<unsigned char> end;
    if (entries_ >= kMost16 || directoryOffset >= kMost32 || directorySize >= kMost32) {
        const std::uint64_t zip64EndOffset = directoryOffset + directorySize;
        Bytes(end)
            .Put(kZip64EndSignature, 4)
            .Put(44, 8)  // the record's size after this field
            .Put(kVersionMadeBy, 2)
            .Put(kVersionNeededZip64, 2)
            .Put(0, 4)  // this disk
            .Put(0, 4)  // the directory's disk
            .Put(entries_, 8)
            .Put(entries_, 8)
            .Put(directorySize, 8)
            .Put(directoryOffset, 8)
            .Put(kZip64LocatorSignature, 4)
            .Put(0, 4)
            .Put(zip64EndOffset, 8)
            .Put(1, 4);  // disks
    }
    Bytes(end)
        .Put(kEndSignature, 4)
        .Put(0, 2)
        .Put(0, 2)
        .Put(std::min<std::uint64_t>(entries_, kMost16), 2)
        .Put(std::min<std::uint64_t>(entries_, kMost16), 2)
        .Put(std::min<std::uint64_t>(directorySize, kMost32), 4)
        .Put(std::min<std::uint64_t>(directoryOffset, kMost32), 4)
        .Put(0, 2);  // comment
    const bool written = stream_.Write(centralDirectory_.data(), centralDirectory_.size()) &&
                         stream_.Write(end.data(), end.size()) && stream_.Finish();
    centralDirectory_ = {};
    return Written(written);
}

}  // namespace vaultpack
