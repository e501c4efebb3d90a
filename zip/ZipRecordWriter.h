#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "zip/ArchiveStream.h"
#include "zip/ZipResult.h"

namespace vaultpack {

// The records of a ZIP archive as they are written through an ArchiveStream:
// each entry's local header, its data, then the central directory and the
// end records, with Zip64 fields where sizes, offsets or the count need them.
// The sizes and CRC of an entry are filled into its local header once its
// data is written; the central directory is kept in memory until the end.
class ZipRecordWriter {
public:
    struct EntryHeader {
        std::string name;
        std::uint16_t flags = 0;
        std::uint16_t method = 0;  // as recorded: 99 for AES
        std::uint32_t dosDateTime = 0;
        std::uint32_t externalAttributes = 0;
        std::vector<unsigned char> localExtra;
        std::vector<unsigned char> centralExtra;
        // The entry may reach 4 GiB: its local header gets a Zip64 field for
        // the sizes, as they are not known before the data.
        bool zip64 = false;
    };

    explicit ZipRecordWriter(ArchiveStream& stream) : stream_(stream) {}

    // Each returns WriteFailed once a write failed (the stream's writeError
    // says why), and Success otherwise.
    ZipResult Begin(const EntryHeader& header);
    ZipResult Write(std::span<const unsigned char> data);
    // Fills in the entry's CRC and sizes; SizeMismatch when the sizes do not
    // fit an entry that Begin wrote without Zip64.
    ZipResult End(std::uint32_t crc, std::uint64_t uncompressedSize);
    // The central directory and the end records, then everything is flushed.
    ZipResult Finish();

private:
    ZipResult Written(bool written) const { return written ? ZipResult::Success : ZipResult::WriteFailed; }

    ArchiveStream& stream_;
    EntryHeader current_;
    std::uint64_t localHeaderOffset_ = 0;
    std::uint64_t dataOffset_ = 0;
    std::uint64_t entries_ = 0;
    std::vector<unsigned char> centralDirectory_;
};

}  // namespace vaultpack
