#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "files/FileHandle.h"
#include "zip/ZipResult.h"

namespace vaultpack {

// One entry's record in the central directory, with Zip64 sizes and offset
// already applied.
struct CentralRecord {
    std::uint16_t versionMadeBy = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dosDateTime = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localHeaderOffset = 0;
    std::uint32_t externalAttributes = 0;
    std::string rawName;
    std::vector<unsigned char> extra;
};

// A stretch of an archive file held in memory, so that the local headers and
// data of small entries stored one after the other cost one read between
// them. One per thread; see ZipArchiveFile::ReadThrough.
struct ArchiveReadWindow {
    std::vector<unsigned char> bytes;
    std::uint64_t start = 0;
    std::size_t size = 0;  // how many bytes from start `bytes` holds
};

// A ZIP archive file opened for reading: its end records (Zip64 included) and
// the place of every central directory record, found at Open. Every offset
// read from the file is checked against the file's size before it is used.
//
// ZipReader reads archives through this class rather than through minizip:
// the minizip packaged for this platform compares the 32-bit Zip64 markers
// with a 64-bit -1, so it never applies Zip64 sizes and offsets.
class ZipArchiveFile {
public:
    // CannotOpenFile when the file cannot be opened; CorruptArchive when it
    // has no end record, its directory does not fit the file, or two entries
    // (local header and data) share bytes with each other or with the
    // directory; ReadFailed on a read error.
    ZipResult Open(const std::filesystem::path& path);
    // ReadFailed when closing reports an error.
    ZipResult Close();
    bool IsOpen() const { return file_.Descriptor() >= 0; }

    std::size_t EntryCount() const { return recordOffsets_.size(); }
    // The bytes the records' names, extra fields and comments take together:
    // what a copy of every name needs at most.
    std::uint64_t VariableRecordBytes() const;
    ZipResult ReadRecord(std::size_t index, CentralRecord& record) const;

    // Where the entry's data starts, after its local header, and the local
    // header's extra field, read through window; CorruptArchive when the
    // header or the data lies outside the file.
    ZipResult LocateData(const CentralRecord& record, ArchiveReadWindow& window, std::uint64_t& dataOffset,
                         std::vector<unsigned char>& localExtra) const;

    // Reads exactly size bytes at offset; false when reading fails or the file
    // has become shorter since Open.
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size) const;

    // Points data at size bytes of the file from offset, which the caller has
    // checked to lie within the file. They come from the window when it holds
    // them; otherwise the window is refilled from offset, with up to
    // readAhead bytes (at least size) when reading forward, so that what
    // follows may come from the window too. data stays valid until the
    // window's next refill. False as ReadAt. Safe from several threads, each
    // with its own window.
    bool ReadThrough(ArchiveReadWindow& window, std::uint64_t offset, std::size_t size, std::size_t readAhead,
                     const unsigned char*& data) const;
    // What a window reads ahead when the entries that follow are small.
    static constexpr std::size_t kWindowSize = 64 * 1024;

private:
    ZipResult FindCentralDirectory(std::uint64_t& start, std::uint64_t& size, std::uint64_t& entries);
    ZipResult CheckEntriesApart(std::uint64_t directoryStart, std::uint64_t directoryEnd) const;

    FileHandle file_;
    std::uint64_t fileSize_ = 0;
    // Bytes in front of the archive proper, as in self-extracting archives;
    // the offsets in the archive count from after them.
    std::uint64_t bytesBefore_ = 0;
    std::vector<std::uint64_t> recordOffsets_;  // where each record starts in the file
    std::uint64_t directoryStart_ = 0;
    std::vector<unsigned char> directory_;  // the whole central directory, read at Open
};

}  // namespace vaultpack
