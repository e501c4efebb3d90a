#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "files/FileHandle.h"
#include "zip/EntryProtection.h"
#include "zip/ZipArchiveFile.h"
#include "zip/ZipEntryInfo.h"
#include "zip/ZipFormat.h"
#include "zip/ZipResult.h"

struct libdeflate_decompressor;

namespace vaultpack {

// A ZIP archive opened for reading: Open, GetEntry with -1 for the number of
// entries, GetEntry per entry and its data checked against its size and CRC,
// then Close. What becomes of the data on disk is zip/EntryWriter's matter. The central
// directory is located at Open; entries and archives beyond 4 GiB are read
// through their Zip64 records. One reader is used by one thread.
class ZipReader {
public:
    // Opens the archive and walks its central directory. Nothing when the
    // file cannot be opened (*reason CannotOpenFile), is not a ZIP archive or
    // has a damaged directory (*reason CorruptArchive), or cannot be read
    // (*reason ReadFailed).
    static std::unique_ptr<ZipReader> Open(const std::filesystem::path& archivePath,
                                           ZipResult* reason = nullptr);

    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // One thread's buffers for reading entries whole: a window on the
    // archive, the local extra field, the inflated data and a decompressor.
    struct WholeEntryBuffers {
        ArchiveReadWindow window;
        std::vector<unsigned char> localExtra;
        std::vector<unsigned char> output;
        std::vector<unsigned char> decrypted;
        struct FreeDecompressor {
            void operator()(libdeflate_decompressor* decompressor) const;
        };
        std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor;
    };

    // Index -1 fills info.entryCount; an index from 0 to entryCount - 1 fills
    // the entry's fields. FaultyArguments for any other index or after Close.
    ZipResult GetEntry(std::int64_t index, ZipEntryInfo& info);

    // What every entry's name takes at most, in bytes, to reserve room for them.
    std::uint64_t NameBytesAtMost() const { return archive_.VariableRecordBytes(); }

    // For threads that read ahead of the one using this reader: as
    // GetEntry for an index from 0 to entryCount - 1, also giving the
    // entry's record. Several threads may call it at once, and the const
    // members below, while the reader is open.
    ZipResult ReadEntry(std::int64_t index, CentralRecord& record, ZipEntryInfo& info) const;
    // The record of the entry GetEntry described last, and this reader's own
    // buffers, for the thread that uses the reader.
    const CentralRecord& Record() const { return record_; }
    WholeEntryBuffers& Buffers() { return whole_; }

    // Whether an entry is small enough to be inflated whole in memory (up to
    // 16 MiB, compressed and not); larger ones are streamed, so memory use
    // stays bounded whatever sizes the archive claims.
    static bool FitsInMemory(const CentralRecord& record);
    // Where the record's data starts, after its local header, and the entry's
    // times, the local header's fields included; CorruptArchive when the
    // header or the data lies outside the file.
    ZipResult LocateData(const CentralRecord& record, WholeEntryBuffers& buffers, std::uint64_t& dataOffset,
                         EntryTimes& times) const;
    // Inflates an entry that FitsInMemory into the buffers and checks it
    // against its size and CRC: data then points at it. CorruptArchive for
    // damaged data or data of another size or CRC, ReadFailed when reading
    // the archive fails, OutOfMemory.
    // An encrypted entry is decrypted and checked with use.password first.
    ZipResult ReadWhole(const CentralRecord& record, std::uint64_t dataOffset, WholeEntryBuffers& buffers,
                        std::span<const unsigned char>& data, PasswordUse& use) const;
    // Streams any entry's data into file, checked the same way (see
    // InflateStreamToFile); PartiallyUnzipped when cancelRequested answered true.
    ZipResult StreamData(const CentralRecord& record, std::uint64_t dataOffset, FileHandle& file,
                         const std::function<bool()>& cancelRequested, PasswordUse& use) const;

    // The target of a symbolic link entry, as stored. FaultyArguments for a
    // bad index, for other entries and for a target longer than a path may
    // be; ReadFailed and CorruptArchive as ReadWhole.
    // An encrypted link's target is read with use.password.
    ZipResult ReadLinkTarget(std::int64_t index, std::string& linkTarget, PasswordUse& use);

    // Closes the archive file; FaultyArguments when already closed.
    ZipResult Close();

private:
    ZipReader() = default;

    ZipArchiveFile archive_;
    CentralRecord record_;
    WholeEntryBuffers whole_;
};

}  // namespace vaultpack
