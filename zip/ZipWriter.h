#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "files/FileHandle.h"
#include "zip/ArchiveStream.h"
#include "zip/EntryCipher.h"
#include "zip/ZipRecordWriter.h"
#include "zip/PreparedEntry.h"
#include "zip/ZipResult.h"
#include "files/Failure.h"

namespace vaultpack {

// A ZIP archive being written: Create, then AddFile once per file, then Close.
// Each entry gets "/" separators, the deflate method (or none for already
// compressed formats such as .zip and .gz), the source's modification time as
// DOS date and time and in an extended-timestamp field, and the source's Unix
// mode in its external attributes. Entries of 4 GiB and more, and archives
// beyond 4 GiB, are written with Zip64. Memory use does not depend on the
// sizes of the files beyond kWholeFileLimit. One writer is used by one thread,
// except for Prepare, which other threads may call at the same time.
//
// The archive's bytes depend only on the files and their order: a file up to
// kWholeFileLimit is compressed whole at a level chosen by its size alone,
// wherever that happens, and is stored instead when compression does not make it smaller;
// a larger one is deflated in blocks (BlockDeflater), whichever threads make them.
class ZipWriter {
public:
    // Files up to this size are read and compressed in one piece.
    static constexpr std::uint64_t kWholeFileLimit = 8u * 1024 * 1024;

    // Writes the archive into `archive`, a new empty file open for writing
    // that the caller keeps open and puts in place (an OutputFile); failures
    // name it as shownPath. Nothing when no stream can be made on it; then
    // *failure, if given, says why.
    static std::unique_ptr<ZipWriter> Create(const FileHandle& archive, const std::filesystem::path& shownPath,
                                             Failure* failure = nullptr);
    // The same for tools and tests: creates the archive file at archivePath,
    // or truncates it when it exists.
    static std::unique_ptr<ZipWriter> Create(const std::filesystem::path& archivePath,
                                             Failure* failure = nullptr);

    // Finishes the archive as Close does when Close was not called.
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds the regular file at sourcePath as one entry named storedName, in
    // which backslashes become "/". Results: FaultyArguments for a name that
    // does not end in a file name or would leave the extraction folder (see
    // CheckStoredName), for the archive itself as source, and for a file this
    // process is still writing (IsOwnTemporaryFile); CannotOpenFile
    // when the source cannot be opened or is not a regular file; WriteFailed
    // when writing the archive fails, ReadFailed when reading the source fails
    // part-way. After those two the archive holds a damaged entry, so every
    // later AddFile gives PreviousError. AdditionsEnded after Close.
    // LastFailure then says why, as far as more than the code can be said.
    //
    // cancelRequested, when given, is asked before each piece of the source;
    // when it answers true the entry is cut short and AdditionsEnded returned:
    // the archive can only be closed and thrown away then. bytesWritten, when
    // given, is told after each piece of a file larger than kWholeFileLimit
    // how many of the file's bytes are in the archive so far, so that a
    // progress bar can move within a large file.
    ZipResult AddFile(std::string_view storedName, const std::filesystem::path& sourcePath,
                      const std::function<bool()>& cancelRequested = {},
                      const std::function<void(std::uint64_t)>& bytesWritten = {});

    // The reading and compressing part of AddFile: opens the source and, when
    // it is small enough, reads and compresses it. Safe to call from several
    // threads at once, also while AddPrepared runs; it does not change the
    // writer. The entry's result is Success, CannotOpenFile, ReadFailed (the
    // file could not be read to its end) or FaultyArguments (the archive
    // itself, or another of our temporaries), and its failure says why.
    //
    // reserve, when given, is called once before a whole file is read, with
    // the most memory the entry will take while it is made (twice the file's
    // size); it may block until that memory is free. When it answers false,
    // nothing is read and the entry's result is AdditionsEnded.
    PreparedEntry Prepare(std::string_view storedName, const std::filesystem::path& sourcePath,
                          const std::function<bool(std::uint64_t)>& reserve = {}) const;

    // The writing part of AddFile, with the same results: adds `entry`, made
    // by Prepare of this writer, as storedName. A ReadFailed entry damages the
    // archive as a read failure part-way through AddFile does.
    ZipResult AddPrepared(std::string_view storedName, PreparedEntry& entry,
                          const std::function<bool()>& cancelRequested = {},
                          const std::function<void(std::uint64_t)>& bytesWritten = {});

    // Protects every entry added from now on with AES-256 under `password`
    // (AE-2, a fresh salt per entry): call it before the first Prepare.
    void ProtectWithAes(std::string password);

    // False once a failed AddFile left a damaged entry: the archive cannot be
    // completed any more, so going on with the next file is pointless.
    bool AcceptsMoreFiles() const { return open_ && stickyError_ == ZipResult::Success; }

    // Why the last AddFile, AddPrepared or Close that did not give Success
    // failed; a later failure without more to say than its code leaves Cause::None.
    const Failure& LastFailure() const { return failure_; }

    // Writes the central directory and the end record and closes the file,
    // also when the result is not Success. PreviousError when an earlier
    // AddFile damaged the archive, WriteFailed when the final writes fail,
    // AdditionsEnded when the writer was already closed.
    ZipResult Close();

private:
    ZipWriter() = default;

    // CheckStoredName's rule, a length that fits, and a file name at the end.
    static bool IsAcceptableName(std::string_view storedName);

    // One piece of an entry's data as it goes into the archive, with the CRC
    // and count of the file bytes it stands for.
    struct Piece {
        ZipResult result = ZipResult::Success;
        Failure failure;
        std::span<const unsigned char> data;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        bool last = false;
    };
    // Writes the pieces `next` gives into the entry being written, in
    // order, until the last one, a failure or a cancel (AdditionsEnded); sets
    // entry.crc and entry.size from what was written.
    ZipResult WritePieces(PreparedEntry& entry, const std::function<bool()>& cancelRequested,
                          const std::function<void(std::uint64_t)>& bytesWritten, const std::function<Piece()>& next);
    // Writes data into the entry being written, encrypted when encryptor_ is set.
    ZipResult WriteData(std::span<const unsigned char> data);
    // A record writer's result, a failed write's cause noted in failure_.
    ZipResult Written(ZipResult result);
    // A failed write of the archive, with the system's error where there is one.
    Failure ArchiveWriteFailure() const;
    // Notes why the current call fails, and returns its code.
    ZipResult Failed(ZipResult result, Failure failure);

private:
    FileHandle created_;  // the archive file, when this writer created it
    ArchiveStream archive_;
    ZipRecordWriter records_{archive_};
    bool open_ = false;
    // The password of an AES-protected archive; the encryptor of the large
    // entry being written, and its buffer.
    std::optional<std::string> aesPassword_;
    EntryEncryptor* encryptor_ = nullptr;
    std::vector<unsigned char> encrypted_;
    ZipResult stickyError_ = ZipResult::Success;
    Failure failure_;
    std::vector<unsigned char> input_;
};

}  // namespace vaultpack
