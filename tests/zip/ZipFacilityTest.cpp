// The ZIP facility on its own: stored names and the paths they give, result
// texts, stored extensions, name encodings and times; and what the writer and
// the reader do with bad arguments, a failed write and damaged archives.

#include "zip/EntryPath.h"
#include "zip/ZipFormat.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

#include "tests/zip/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

namespace fs = std::filesystem;
using enum ZipResult;
using test::ReadText;
using test::WriteFile;

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

TEST(ZipFacilityTest, KeepsUtf8NamesAndDecodesOthersAsCodePage437) {
    EXPECT_EQ(DecodeEntryName("Fotos/Ünïcödé.jpg"), "Fotos/Ünïcödé.jpg");
    EXPECT_EQ(DecodeEntryName("\xC3\xA9\xE9"), "├⌐Θ");  // one invalid sequence decodes the whole name
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
    const ExtendedTimestamps times = FindTimestamps(local.data(), local.size());
    EXPECT_EQ(times.modification, 1700000000);
    EXPECT_EQ(times.access, 0);
    EXPECT_EQ(times.creation, 2145916799);  // 31 December 2037, 23:59:59
    // Another field first, then the central copy with flags 7 and one time.
    std::vector<unsigned char> extra = {0x01, 0x00, 0x04, 0x00, 1, 2, 3, 4};
    const auto central = CentralTimestampExtra(1700000000);
    extra.insert(extra.end(), central.begin(), central.end());
    EXPECT_EQ(FindTimestamps(extra.data(), extra.size()).modification, 1700000000);
    EXPECT_FALSE(FindTimestamps(extra.data(), extra.size()).access);
    // A field that claims more bytes than there are gives what is there.
    EXPECT_EQ(FindTimestamps(local.data(), 9).modification, 1700000000);
    EXPECT_FALSE(FindTimestamps(local.data(), 9).access);
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
    for (const fs::path& source : {dir / "missing.txt", dir.Path(), dir / "fifo"}) {
        EXPECT_EQ(writer->AddFile("x", source), CannotOpenFile) << source;
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
    EXPECT_EQ(reader->ExtractEntry(1, dir / "x"), FaultyArguments);
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
    EXPECT_EQ(writer->AddFile("again.bin", dir / "random.bin"), PreviousError);
    EXPECT_EQ(writer->Close(), PreviousError);
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
        {"local header offset", [&](auto& b) { b[textRecord + 42] ^= 0x04; }, Success, {Success, CorruptArchive}},
        // Readable variations: a stub in front (self-extractors), a comment, bytes appended.
        {"prepended stub", [](auto& b) { b.insert(0, 1000, '\x90'); }, Success, {Success, Success}},
        {"comment", [](auto& b) { b[b.size() - 2] = 5, b += "PK\x05\x06!"; }, Success, {Success, Success}},
        {"bytes appended", [](auto& b) { b.append(300, '\0'); }, Success, {Success, Success}},
        {"count cut to 16 bits", [](auto& b) { b[b.size() - 14] = b[b.size() - 12] = 1; }, Success,
         {Success, Success}},
    };
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
            results.push_back(reader->ExtractEntry(index, dir / "target"));
            const std::string expected = ReadText(dir / (index == 0 ? "inner" : "text"));
            EXPECT_EQ(ReadText(dir / "target"), results.back() == Success ? expected : "precious");
        }
        EXPECT_EQ(results, damage.extract);
        EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 5u);  // no temporary file left behind
    }
    // Only a regular file opens; a FIFO is refused without waiting for a writer.
    ::mkfifo((dir / "fifo").c_str(), 0600);
    for (const fs::path& notAFile : {dir / "missing.zip", dir.Path(), dir / "fifo"}) {
        ZipResult reason = Success;
        EXPECT_FALSE(ZipReader::Open(notAFile, &reason)) << notAFile;
        EXPECT_EQ(reason, CannotOpenFile) << notAFile;
    }
}

}  // namespace
}  // namespace vaultpack
