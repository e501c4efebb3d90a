// The ZIP facility on its own: stored names and the paths they give, result
// texts, stored extensions, name encodings and times; and what the writer and
// the reader do with bad arguments, a failed write and damaged archives.

#include "files/OutputFile.h"
#include "zip/BlockDeflater.h"
#include "zip/EntryPath.h"
#include "zip/ParallelPreparer.h"
#include "zip/ZipFormat.h"
#include "zip/EntryExtraction.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <unistd.h>
#include <utility>

#include <sys/resource.h>
#include <sys/stat.h>

#include "tests/support/ResourceLimits.h"
#include "tests/zip/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

namespace fs = std::filesystem;
using enum ZipResult;
using test::ReadText;
using test::WriteFile;

// Little-endian bytes, and an extra field with its tag and length.
std::string Bytes(std::uint64_t value, int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        bytes += static_cast<char>(value >> (8 * i));
    }
    return bytes;
}
std::string Field(std::uint16_t tag, const std::string& body) {
    return Bytes(tag, 2) + Bytes(body.size(), 2) + body;
}

TEST(ZipFacilityTest, StoredNamesGiveATargetBelowTheDestinationOrAreRefused) {
    using enum StoredNameProblem;
    struct Row {
        std::string name;
        StoredNameProblem problem;
        const char* target;  // below "/dest"; empty when refused
    };
    const Row rows[] = {
        {"Folder/Sub/a.txt", None, "/dest/Folder/Sub/a.txt"},
        {"Folder/Sub/", None, "/dest/Folder/Sub"},
        {"./a//./b", None, "/dest/a/b"},
        {"..a/b..", None, "/dest/..a/b.."},
        {"a/C:x", None, "/dest/a/C:x"},
        {"././/", None, "/dest"},
        {"", Empty, ""},
        {"../evil", ParentFolder, ""},
        {"a/../../evil", ParentFolder, ""},
        {"a/..", ParentFolder, ""},
        {"/etc/x", Absolute, ""},
        {"C:/Windows/x", DriveLetter, ""},
        {"c:evil", DriveLetter, ""},
        {"..\\evil", Backslash, ""},
        {std::string("a\0/../../x", 10), NulByte, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CheckStoredName(row.name), row.problem) << row.name;
        const auto target = SafeTargetPath("/dest", row.name);
        EXPECT_EQ(target.value_or("").string(), row.target) << row.name;
    }
}

// Workers name a target's folder as the job does, or they would never find it ready.
TEST(ZipFacilityTest, FolderOfTargetIsItsParentPath) {
    for (const char* target : {"/dest/a/b.txt", "/x", "x", "out//x", "//x", "dest///a//x", "./x", "out/./x"}) {
        EXPECT_EQ(FolderOfTarget(target), std::filesystem::path(target).parent_path().native()) << target;
    }
}

TEST(ZipFacilityTest, LinksAreRestoredOnlyWhenTheyPointBelowTheDestination) {
    struct Row {
        const char* name;
        const char* target;
        bool below;
    };
    const Row rows[] = {
        {"l", "a/b", true},         {"a/b/l", "../../c/d", true}, {"./a//l", "../x", true},
        {"l", ".", true},           {"l", "../x", false},         {"a/b/l", "../../../c", false},
        {"a/l", "b/../../x", false}, {"a/l", "/etc", false},       {"a/l", "", false},
        {"../l", "x", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(LinkTargetStaysBelow(row.name, row.target), row.below) << row.name << " -> " << row.target;
    }
}

TEST(ZipFacilityTest, ResultTextsComeFromTheTableAndAreCutToTheBuffer) {
    EXPECT_EQ(ZipResultText(WriteFailed), "Error writing to file");
    EXPECT_EQ(ZipResultText(FlationError), "Zip-bug: an internal error during flation");
    EXPECT_EQ(ZipResultText(static_cast<ZipResult>(0x12345)), "unknown zip result code");
    char buffer[6] = "xxxxx";
    EXPECT_EQ(ZipResultText(Success, buffer, 0), 7u);
    EXPECT_STREQ(buffer, "xxxxx");  // untouched with size 0
    EXPECT_EQ(ZipResultText(WriteFailed, buffer, sizeof buffer), 21u);
    EXPECT_STREQ(buffer, "Error");
}

TEST(ZipFacilityTest, StoresOnlyAlreadyCompressedExtensions) {
    for (const char* name : {"data.ZIP", "backup.tgz", "old.Z", "a/b.Arj", ".gz"}) {
        EXPECT_TRUE(IsStoredExtension(name)) << name;
    }
    for (const char* name : {"notes.txt", "archive.zip.txt", "dir.zip/file", "zip", "a.gzip", "a.zipx"}) {
        EXPECT_FALSE(IsStoredExtension(name)) << name;
    }
}

TEST(ZipFacilityTest, KeepsUtf8AndUnixNamesAndDecodesOtherDosNamesAsCodePage437) {
    EXPECT_EQ(DecodeEntryName("Fotos/Ünïcödé.jpg", true), "Fotos/Ünïcödé.jpg");
    EXPECT_EQ(DecodeEntryName("\xC3\xA9\xE9", true), "├⌐Θ");  // one invalid sequence decodes the whole name
    EXPECT_EQ(DecodeEntryName("caf\xE9.txt", false), "caf\xE9.txt");
    for (const char* invalid : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"}) {
        EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
    }
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));
    EXPECT_TRUE(NeedsUtf8Flag("é.txt"));
    EXPECT_FALSE(NeedsUtf8Flag("plain.txt"));
    EXPECT_FALSE(NeedsUtf8Flag("\xE9.txt"));
}

TEST(ZipFacilityTest, TimesClampToWhatTheirFieldsHoldAndParse) {
    EXPECT_EQ(DosDateTimeFromTime(0), 0x00210000u);  // 1970 becomes 1 January 1980
    const auto local = LocalTimestampExtra(1700000000, -5, 3000000000);
    const EntryTimes times = ReadEntryTimes(0, {local});
    EXPECT_EQ(times.modification, FileTime{1700000000});
    EXPECT_EQ(times.access, FileTime{0});
    EXPECT_EQ(times.creation, FileTime{2145916799});  // 31 December 2037, 23:59:59
    // Another field first, then the central copy with flags 7 and one time.
    std::vector<unsigned char> extra = {0x01, 0x00, 0x04, 0x00, 1, 2, 3, 4};
    const auto central = CentralTimestampExtra(1700000000);
    extra.insert(extra.end(), central.begin(), central.end());
    EXPECT_EQ(ReadEntryTimes(0, {extra}).modification, FileTime{1700000000});
    EXPECT_EQ(ReadEntryTimes(0, {extra}).access, FileTime{1700000000});
    // A field that claims more bytes than there are gives what is there.
    EXPECT_EQ(ReadEntryTimes(0, {std::span(local).first(9)}).modification, FileTime{1700000000});
    EXPECT_EQ(ReadEntryTimes(0, {std::span(local).first(9)}).access, FileTime{1700000000});
}

// Entries as Windows, macOS and old Unix tools write them, extracted in New
// York: the DOS time is the writer's local time (UTC-7), the other fields UTC.
TEST(ZipFacilityTest, ExtractedFilesTakeTheMostExactTimeTheirHeadersHold) {
    test::UseTimeZone("America/New_York");
    constexpr std::time_t kModified = 1560571917;  // 15 June 2019, 04:11:57 UTC
    constexpr std::time_t kAccessed = kModified - 3600;
    constexpr std::uint32_t kDosTime = ((39 << 9 | 6 << 5 | 14) << 16) | (21 << 11 | 11 << 5 | 29);  // 21:11:58
    constexpr std::time_t kDosRead = 1560561118;  // 01:11:58 UTC, that DOS time read in New York
    const auto ticks = [](std::time_t seconds, long nanoseconds) {  // 100 ns since 1601
        return Bytes((static_cast<std::uint64_t>(seconds) + 11644473600) * 10000000 + nanoseconds / 100, 8);
    };
    const std::string ntfs =
        Field(0x000a, Bytes(0, 4) + Bytes(1, 2) + Bytes(24, 2) + ticks(kModified, 600000000) +
                          ticks(kAccessed, 0) + ticks(kModified - 7200, 0));
    const std::string localUt = Field(0x5455, "\x03" + Bytes(kModified, 4) + Bytes(kAccessed, 4));
    const std::string centralUt = Field(0x5455, "\x03" + Bytes(kModified, 4));
    const std::string otherUt = Field(0x5455, "\x01" + Bytes(kModified - 1000, 4));
    const std::string localUx = Field(0x5855, Bytes(kAccessed, 4) + Bytes(kModified, 4) + Bytes(501, 2) + Bytes(20, 2));
    const std::string centralUx = Field(0x5855, Bytes(kAccessed, 4) + Bytes(kModified, 4));
    struct Row {
        const char* label;
        std::string localExtra, centralExtra;
        std::time_t modified;
        long modifiedNanoseconds;
        std::time_t accessed;
    };
    const Row rows[] = {
        {"DOS time only", "", "", kDosRead, 0, kDosRead},
        {"NTFS in both headers", ntfs, ntfs, kModified, 600000000, kAccessed},
        {"NTFS before UT", otherUt + ntfs, otherUt + ntfs, kModified, 600000000, kAccessed},
        {"UT then the old Unix field", localUt + localUx, centralUt + centralUx, kModified, 0, kAccessed},
        {"UT only in the local header", Field(0x0001, "") + localUt, "", kModified, 0, kAccessed},
        {"old Unix field only", localUx, centralUx, kModified, 0, kAccessed},
    };
    const test::TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::RawEntry entry{"t.txt", "text"};
        entry.dosDateTime = kDosTime;
        entry.localExtra = row.localExtra;
        entry.centralExtra = row.centralExtra;
        test::WriteRawZip(dir / "times.zip", {entry});
        auto reader = ZipReader::Open(dir / "times.zip");
        ASSERT_TRUE(reader);
        ZipEntryInfo info;
        ASSERT_EQ(reader->GetEntry(0, info), Success);
        if (!row.centralExtra.empty()) {
            EXPECT_EQ(info.lastWriteTime, row.modified);
        }
        ASSERT_EQ(ExtractEntry(*reader, 0, dir / "t.txt"), Success);
        struct stat status {};
        ASSERT_EQ(::stat((dir / "t.txt").c_str(), &status), 0);
        EXPECT_EQ(status.st_mtim.tv_sec, row.modified);
        EXPECT_EQ(status.st_mtim.tv_nsec, row.modifiedNanoseconds);
        EXPECT_EQ(status.st_atim.tv_sec, row.accessed);
    }
}

TEST(ZipFacilityTest, BadArgumentsAreRefusedWithoutSpoilingTheArchive) {
    const test::TempDir dir;
    const fs::path archive = dir / "archive.zip";
    WriteFile(dir / "good.txt", "g");
    ::mkfifo((dir / "fifo").c_str(), 0600);
    auto writer = ZipWriter::Create(archive);
    ASSERT_TRUE(writer);
    for (const char* name : {"", "..\\outside.txt", "/etc/x", "C:\\x", "Folder\\", "Folder/."}) {
        EXPECT_EQ(writer->AddFile(name, dir / "good.txt"), FaultyArguments) << name;
    }
    EXPECT_EQ(writer->AddFile("self.zip", archive), FaultyArguments);
    EXPECT_EQ(writer->LastFailure().reason, FailureReason::SourceIsArchive);
    // Beside the code, the system's reason for the source that cannot be opened.
    const std::pair<fs::path, int> unopenable[] = {{dir / "missing.txt", ENOENT}, {dir.Path(), EISDIR},
                                                    {dir / "fifo", EINVAL}};
    for (const auto& [source, errorNumber] : unopenable) {
        EXPECT_EQ(writer->AddFile("x", source), CannotOpenFile) << source;
        const Failure& failure = writer->LastFailure();
        EXPECT_EQ(failure.reason, FailureReason::FileAccess) << source;
        EXPECT_EQ(failure.path, source);
        EXPECT_EQ(failure.systemError, errorNumber) << source;
    }
    EXPECT_EQ(writer->AddFile("good.txt", dir / "good.txt"), Success);
    EXPECT_EQ(writer->Close(), Success);
    EXPECT_EQ(writer->AddFile("late.txt", dir / "good.txt"), AdditionsEnded);
    EXPECT_EQ(writer->Close(), AdditionsEnded);

    auto reader = ZipReader::Open(archive);
    ASSERT_TRUE(reader);
    ZipEntryInfo info;
    reader->GetEntry(-1, info);
    EXPECT_EQ(info.entryCount, 1);
    EXPECT_EQ(reader->GetEntry(-2, info), FaultyArguments);
    EXPECT_EQ(reader->GetEntry(1, info), FaultyArguments);
    EXPECT_EQ(ExtractEntry(*reader, 1, dir / "x"), FaultyArguments);
    EXPECT_EQ(reader->Close(), Success);
    EXPECT_EQ(reader->GetEntry(0, info), FaultyArguments);
    EXPECT_EQ(reader->Close(), FaultyArguments);
}

TEST(ZipFacilityTest, AFailedWriteIsStickyAndCloseReportsIt) {
    const test::TempDir dir;
    WriteFile(dir / "random.bin", test::PseudoRandomBytes(1 << 20));
    auto writer = ZipWriter::Create("/dev/full");
    ASSERT_TRUE(writer);
    EXPECT_EQ(writer->AddFile("random.bin", dir / "random.bin"), WriteFailed);
    EXPECT_EQ(writer->LastFailure().reason, FailureReason::FileAccess);
    EXPECT_EQ(writer->LastFailure().path, "/dev/full");
    EXPECT_EQ(writer->LastFailure().systemError, ENOSPC);
    EXPECT_EQ(writer->AddFile("again.bin", dir / "random.bin"), PreviousError);
    EXPECT_EQ(writer->Close(), PreviousError);

    Failure failure;
    EXPECT_FALSE(ZipWriter::Create(dir / "missing" / "out.zip", &failure));
    EXPECT_EQ(failure.reason, FailureReason::FileAccess);
    EXPECT_EQ(failure.systemError, ENOENT);
}

// A file this process is still writing is never added, under whatever name it
// is reached; once put in place, or for a user's file that is only named like
// one of ours, it is an ordinary file.
TEST(ZipFacilityTest, OnlyUnfinishedOutputsOfOursAreRefusedWhateverTheirNames) {
    const test::TempDir dir;
    WriteFile(dir / ".vaultpack-abcdefghij.part", "a user's file");
    auto writer = ZipWriter::Create(dir / "out.zip");
    ASSERT_TRUE(writer);
    {
        OutputFile ours(dir / "done.txt");
        ours.File().WriteAll("x", 1);
        // Reached through the process's descriptor, and under a name of its own.
        const fs::path reached = "/proc/self/fd/" + std::to_string(ours.File().Descriptor());
        ASSERT_EQ(::linkat(AT_FDCWD, reached.c_str(), AT_FDCWD, (dir / "another-name.txt").c_str(), AT_SYMLINK_FOLLOW),
                  0);
        for (const fs::path& source : {reached, dir / "another-name.txt"}) {
            EXPECT_EQ(writer->AddFile("ours.txt", source), FaultyArguments) << source;
            EXPECT_EQ(writer->LastFailure().reason, FailureReason::SourceIsOwnTemporary) << source;
        }
        ours.Commit();
    }
    EXPECT_EQ(writer->AddFile("done.txt", dir / "done.txt"), Success);
    EXPECT_EQ(writer->AddFile("lookalike.part", dir / ".vaultpack-abcdefghij.part"), Success);
    EXPECT_EQ(writer->Close(), Success);
}

// Files beyond the whole-file limit stay open until they are written: however
// many come in a row, only a few are open at a time, so a tight descriptor
// limit still lets every one of them be added.
// A large file is deflated in blocks, each with the bytes before it read
// again: a file that changes between two blocks' reads, or becomes shorter
// than it was measured, fails as a read failure instead of giving an entry
// of neither version.
TEST(ZipFacilityTest, ALargeFileThatChangesOrShrinksBetweenItsBlocksFailsToBeRead) {
    const test::TempDir dir;
    const fs::path file = dir / "large.bin";
    for (const bool shrink : {false, true}) {
        SCOPED_TRACE(shrink);
        std::vector<unsigned char> bytes = test::PseudoRandomBytes(3 * BlockDeflater::kBlockSize, 3);
        WriteFile(file, bytes);
        BlockDeflater blocks(FileHandle::OpenForReading(file), bytes.size());
        EXPECT_EQ(blocks.Next().result, Success);
        if (shrink) {
            bytes.resize(BlockDeflater::kBlockSize * 3 / 2);
        } else {
            bytes[BlockDeflater::kBlockSize - 100] ^= 1;  // in the first block's last 32 KiB
        }
        WriteFile(file, bytes);
        EXPECT_EQ(blocks.Next().result, ReadFailed);
    }
}

// Workers read files ahead of the writer only within the memory budget: with
// the writer taking nothing, they stop when what they hold would pass it.
// Stored extensions, so that what is held is what is read.
TEST(ZipFacilityTest, PreparingAheadStaysWithinTheMemoryBudget) {
    if (test::UnderSanitizer()) {
        GTEST_SKIP() << "a sanitizer's shadow memory grows with what is read";
    }
    const test::TempDir dir;
    constexpr std::size_t kFileSize = 6u << 20;
    std::vector<ParallelPreparer::Source> sources;
    for (int i = 0; i < 12; ++i) {
        const fs::path file = dir / ("f" + std::to_string(i) + ".gz");
        WriteFile(file, test::PseudoRandomBytes(kFileSize, i));
        sources.push_back({file.filename().string(), file});
    }
    const auto writer = ZipWriter::Create(dir / "out.zip");
    ASSERT_TRUE(writer);
    if (!test::ResetPeakMemory()) {
        GTEST_SKIP() << "the peak memory cannot be reset here";
    }
    const long before = test::ResidentMemoryKiB();
    {
        ParallelPreparer preparer(*writer, sources, 2);
        // Long enough for the workers to read all twelve files when nothing held them back.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const long grown = test::PeakMemoryKiB() - before;
    EXPECT_LE(grown, static_cast<long>(ParallelPreparer::kMemoryBudget / 1024 + kFileSize / 1024));
}

TEST(ZipFacilityTest, ManyLargeFilesInARowKeepFewOpen) {
    const test::TempDir dir;
    std::vector<ParallelPreparer::Source> sources;
    for (int file = 0; file < 40; ++file) {
        // Stored, as already compressed: each is copied as it is written.
        const fs::path path = dir / ("large" + std::to_string(file) + ".gz");
        WriteFile(path, "");
        fs::resize_file(path, ZipWriter::kWholeFileLimit + 1);  // a hole: nothing to write
        sources.push_back({path.filename().string(), path});
    }
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {})) + 32;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    auto writer = ZipWriter::Create(dir / "out.zip");
    ASSERT_TRUE(writer);
    {
        ParallelPreparer preparer(*writer, sources, 2);
        for (std::size_t index = 0; index < sources.size(); ++index) {
            PreparedEntry entry = preparer.Take(index);
            EXPECT_EQ(writer->AddPrepared(sources[index].storedName, entry), Success) << index;
        }
    }
    EXPECT_EQ(writer->Close(), Success);
    ::setrlimit(RLIMIT_NOFILE, &saved);
}

// A copy of the archive's end record (its last 22 bytes) to append to it, with
// a comment of commentLength bytes. It counts the original end record into
// the directory, so that it reads the same entries from its own place.
std::string EndCopy(const std::string& archive, unsigned char commentLength) {
    std::string end = archive.substr(archive.size() - 22);
    const auto directorySize = LittleEndian(reinterpret_cast<const unsigned char*>(&end[12]), 4);
    end.replace(12, 4, Bytes(directorySize + 22, 4));
    end[20] = static_cast<char>(commentLength);
    return end;
}

TEST(ZipFacilityTest, DamagedArchivesGiveResultCodesAndLeaveTargetsAlone) {
    const test::TempDir dir;
    const std::string content = "stored content that is easy to find in the archive";
    WriteFile(dir / "inner", content);
    WriteFile(dir / "text", std::string(4000, 'a'));
    WriteFile(dir / "target", "precious");
    {
        auto writer = ZipWriter::Create(dir / "archive.zip");
        ASSERT_TRUE(writer);
        ASSERT_EQ(writer->AddFile("inner.zip", dir / "inner"), Success);
        ASSERT_EQ(writer->AddFile("text.txt", dir / "text"), Success);
        ASSERT_EQ(writer->Close(), Success);
    }
    const std::string bytes = ReadText(dir / "archive.zip");
    const std::size_t textRecord = bytes.rfind("PK\x01\x02");  // the central record of text.txt
    struct Damage {
        const char* label;
        std::function<void(std::string&)> apply;
        ZipResult open;
        std::vector<ZipResult> extract;  // of both entries, when Open succeeds
    };
    const Damage damages[] = {
        {"truncated", [](auto& b) { b.resize(b.size() / 2); }, CorruptArchive, {}},
        {"central directory", [](auto& b) { b[b.find("PK\x01\x02")] = 'X'; }, CorruptArchive, {}},
        {"wrong CRC", [&](auto& b) { b[b.find(content) + 3] ^= 1; }, Success, {CorruptArchive, Success}},
        {"deflated data", [](auto& b) { b[b.find("text.txt") + 8 + 17 + 2] ^= 0x55; }, Success,
         {Success, CorruptArchive}},
        {"data size beyond the file", [&](auto& b) { b[textRecord + 23] = 0x7F; }, Success, {Success, CorruptArchive}},
        // A size claimed in a small file decides no allocation.
        {"4 GiB claimed", [&](auto& b) { b.replace(textRecord + 24, 4, Bytes(0xFFFFFFFE, 4)); }, Success,
         {Success, CorruptArchive}},
        {"local header offset", [&](auto& b) { b[textRecord + 42] ^= 0x04; }, Success, {Success, CorruptArchive}},
        // Records whose data overlap, as in archives that extract to far more than they hold.
        {"two records for one entry", [&](auto& b) { b.replace(textRecord + 42, 4, Bytes(0, 4)); }, CorruptArchive, {}},
        {"entry running into the next", [&](auto& b) { b[b.find("PK\x01\x02") + 20] += 40; }, CorruptArchive, {}},
        // Readable variations: a stub in front (self-extractors), a comment, bytes appended.
        {"prepended stub", [](auto& b) { b.insert(0, 1000, '\x90'); }, Success, {Success, Success}},
        {"comment", [](auto& b) { b[b.size() - 2] = 5, b += "PK\x05\x06!"; }, Success, {Success, Success}},
        {"bytes appended", [](auto& b) { b.append(300, '\0'); }, Success, {Success, Success}},
        {"count cut to 16 bits", [](auto& b) { b[b.size() - 14] = b[b.size() - 12] = 1; }, Success,
         {Success, Success}},
        // A second end record inside the comment: readers that take the last one and readers that
        // check comment lengths would see different archives, unless the last one ends the file.
        {"end record in a truncated comment", [](auto& b) { b[b.size() - 2] = 22, b += EndCopy(b, 50); },
         CorruptArchive, {}},
        {"end record in a comment, bytes appended",
         [](auto& b) { b[b.size() - 2] = 26, b += EndCopy(b, 0) + "junk"; }, CorruptArchive, {}},
        {"end record in a comment that ends the file", [](auto& b) { b[b.size() - 2] = 22, b += EndCopy(b, 0); },
         Success, {Success, Success}},
    };
    // The peak from earlier tests would hide this one's.
    const bool peakReset = test::ResetPeakMemory();
    const long before = test::ResidentMemoryKiB();
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.label);
        std::string damaged = bytes;
        damage.apply(damaged);
        WriteFile(dir / "damaged.zip", damaged);
        ZipResult reason = Success;
        const auto reader = ZipReader::Open(dir / "damaged.zip", &reason);
        EXPECT_EQ(reason, damage.open);
        std::vector<ZipResult> results;
        for (std::int64_t index = 0; reader && index < 2; ++index) {
            WriteFile(dir / "target", "precious");
            results.push_back(ExtractEntry(*reader, index, dir / "target"));
            const std::string expected = ReadText(dir / (index == 0 ? "inner" : "text"));
            EXPECT_EQ(ReadText(dir / "target"), results.back() == Success ? expected : "precious");
            // Where nothing stood, a failed entry leaves nothing.
            EXPECT_EQ(ExtractEntry(*reader, index, dir / "new"), results.back());
            EXPECT_EQ(fs::exists(fs::symlink_status(dir / "new")), results.back() == Success);
            fs::remove(dir / "new");
        }
        EXPECT_EQ(results, damage.extract);
        EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 5u);  // no temporary file left behind
    }
    if (peakReset) {
        EXPECT_LT(test::PeakMemoryKiB() - before, 64 * 1024);
    }
    // Only a regular file opens; a FIFO is refused without waiting for a writer.
    ::mkfifo((dir / "fifo").c_str(), 0600);
    for (const fs::path& notAFile : {dir / "missing.zip", dir.Path(), dir / "fifo"}) {
        ZipResult reason = Success;
        EXPECT_FALSE(ZipReader::Open(notAFile, &reason)) << notAFile;
        EXPECT_EQ(reason, CannotOpenFile) << notAFile;
    }
}

// An entry beyond the whole-entry limit is streamed to a temporary file: a
// cancel within it, a wrong CRC or damaged data leave the target as it was,
// and nothing where nothing stood.
TEST(ZipFacilityTest, LargeEntriesThatStopOrFailLeaveTargetsAlone) {
    const test::TempDir dir;
    const std::string content = test::MixedText((std::size_t{17} << 20) + 100);
    WriteFile(dir / "large", content);
    {
        auto writer = ZipWriter::Create(dir / "archive.zip");
        ASSERT_TRUE(writer);
        ASSERT_EQ(writer->AddFile("large.txt", dir / "large"), Success);
        ASSERT_EQ(writer->Close(), Success);
    }
    const std::string bytes = ReadText(dir / "archive.zip");
    struct Row {
        const char* label;
        std::function<void(std::string&)> damage;
        int cancelAtPoll;  // 0: never
        ZipResult result;
    };
    const Row rows[] = {
        {"whole", [](auto&) {}, 0, Success},
        {"cancelled within", [](auto&) {}, 3, PartiallyUnzipped},
        {"wrong CRC", [](auto& b) { b[b.rfind("PK\x01\x02") + 16] ^= 1; }, 0, CorruptArchive},
        {"damaged data", [](auto& b) { b[b.size() / 2] ^= 0x55; }, 0, CorruptArchive},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::string damaged = bytes;
        row.damage(damaged);
        WriteFile(dir / "damaged.zip", damaged);
        const auto reader = ZipReader::Open(dir / "damaged.zip");
        ASSERT_TRUE(reader);
        int polls = 0;
        const auto cancel = [&] { return ++polls == row.cancelAtPoll; };
        WriteFile(dir / "target", "precious");
        EXPECT_EQ(ExtractEntry(*reader, 0, dir / "target", cancel), row.result);
        EXPECT_TRUE(ReadText(dir / "target") == (row.result == Success ? content : "precious"));
        if (row.cancelAtPoll > 0) {
            EXPECT_EQ(polls, row.cancelAtPoll);  // it stopped where it was asked to
        }
        polls = 0;
        EXPECT_EQ(ExtractEntry(*reader, 0, dir / "new", cancel), row.result);
        EXPECT_EQ(fs::exists(dir / "new"), row.result == Success);
        fs::remove(dir / "new");
        EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 4u);  // no temporary file left behind
    }
}

}  // namespace
}  // namespace vaultpack
