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
#include "zip/ZipArchiveFile.h"
#include "zip/ZipEntryInfo.h"
#include "zip/ZipFormat.h"
#include "zip/ZipResult.h"

struct libdeflate_decompressor;

namespace vaultpack {

// A ZIP archive opened for reading: Open, GetEntry with -1 for the number of
// entries, GetEntry and ExtractEntry per entry, then Close. The central
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
        ArchiveWindow window;
        std::vector<unsigned char> localExtra;
        std::vector<unsigned char> output;
        struct FreeDecompressor {
            void operator()(libdeflate_decompressor* decompressor) const;
        };
        std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor;
    };

    // Index -1 fills info.entryCount; an index from 0 to entryCount - 1 fills
    // the entry's fields. FaultyArguments for any other index or after Close.
    ZipResult GetEntry(std::int64_t index, ZipEntryInfo& info);

    // Extracts a file entry to targetPath, whose folder must exist. The data
    // goes to a temporary file beside the target, which replaces the target
    // only when the whole entry has been written and checked against its size
    // and CRC; so a failure leaves an existing target as it was, and a
    // symbolic link at the target is replaced, never followed. The file gets
    // the entry's permission bits (never set-user-id, set-group-id or sticky)
    // and its modification and access times. Entries up to 16 MiB are
    // inflated and checked in memory before the file is made, and a new file
    // is then written in place; larger ones are streamed, so memory use stays
    // bounded whatever sizes the archive claims. A symbolic link entry becomes a link, put in place the
    // same way, when LinkTargetStaysBelow accepts its target.
    // Results: Success, and nothing written, for a folder entry;
    // FaultyArguments for a bad index and for entries this facility does not
    // extract (links whose target is refused, other special files, encrypted
    // entries, methods other than stored and deflated); CannotOpenFile when
    // the file cannot be created or put in place; WriteFailed when writing it fails;
    // CorruptArchive when the entry's headers or data are damaged or do not
    // match its size or CRC; ReadFailed when reading the archive fails.
    //
    // cancelRequested, when given, is asked before each piece of the entry;
    // when it answers true the entry stops there, its temporary file is
    // removed and PartiallyUnzipped returned. With replaceExisting false
    // (nothing stood at the target when the user was asked), a file that has
    // appeared there meanwhile is kept and CannotOpenFile returned.
    ZipResult ExtractEntry(std::int64_t index, const std::filesystem::path& targetPath,
                           const std::function<bool()>& cancelRequested = {}, bool replaceExisting = true);

    // For threads that extract ahead of the one using this reader: as
    // GetEntry for an index from 0 to entryCount - 1, also giving the
    // entry's record. Several threads may call it at once, and the const
    // members below, while the reader is open.
    ZipResult ReadEntry(std::int64_t index, CentralRecord& record, ZipEntryInfo& info) const;

    // Where a new file is made: `name` relative to the open folder `folder`
    // (AT_FDCWD: the working folder), and the same file's full path, which is
    // what gets registered for removal.
    struct NewFilePlace {
        int folder;
        const char* name;
        const std::string& path;
    };

    // Extracts a regular file entry that ReadEntry described, of at most
    // 16 MiB, to a new file at `place`, using buffers of the calling
    // thread: inflated and checked in memory first, then written in place
    // with its permission bits and times, and removed again when writing
    // fails. CannotOpenFile, and nothing written, when anything stands at
    // the place (a link is not followed) or the file cannot be created;
    // FaultyArguments for other entries; otherwise as ExtractEntry. With
    // keptRegistration, a file made stays registered for removal at an
    // abrupt end (files/TemporaryFileRegistry) and its token is stored there
    // for the caller to unregister; CannotOpenFile, and nothing made, when no
    // slot is free. place.path must then stay unchanged until unregistered.
    ZipResult ExtractToNewFile(const CentralRecord& record, const ZipEntryInfo& info, const NewFilePlace& place,
                               WholeEntryBuffers& buffers, int* keptRegistration = nullptr) const;

    // The target of a symbolic link entry, as stored. FaultyArguments for a
    // bad index, for other entries and for a target longer than a path may
    // be; otherwise as ExtractEntry.
    ZipResult ReadLinkTarget(std::int64_t index, std::string& linkTarget);

    // Closes the archive file; FaultyArguments when already closed.
    ZipResult Close();

private:
    ZipReader() = default;
    using DataSink = std::function<ZipResult(const unsigned char* data, std::size_t size)>;
    ZipResult CopyData(std::uint64_t dataOffset, const DataSink& write, const std::function<bool()>& cancelRequested);
    ZipResult ExtractStreamed(const ZipEntryInfo& info, const EntryTimes& times, std::uint64_t dataOffset,
                              const std::filesystem::path& targetPath, const std::function<bool()>& cancelRequested,
                              bool replaceExisting);
    ZipResult InflateWhole(const CentralRecord& record, std::uint64_t dataOffset, WholeEntryBuffers& buffers,
                           std::span<const unsigned char>& data) const;
    ZipResult ExtractLink(std::int64_t index, const ZipEntryInfo& info, const std::filesystem::path& targetPath,
                          bool replaceExisting);

    ZipArchiveFile archive_;
    std::optional<mode_t> umask_;  // as Open found it
    CentralRecord record_;
    WholeEntryBuffers whole_;
    std::vector<unsigned char> input_;
    std::vector<unsigned char> output_;
};

}  // namespace vaultpack
