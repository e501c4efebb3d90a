#include "jobs/ZipFormat.h"
#include "jobs/ZipResult.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/jobs/ZipTestSupport.h"

namespace vaultpack {
namespace {

TEST(ZipResultTextTest, GivesTableTextsAndCutsToTheBuffer) {
    EXPECT_EQ(ZipResultText(ZipResult::WriteFailed), "Error writing to file");
    EXPECT_EQ(ZipResultText(ZipResult::FlationError), "Zip-bug: an internal error during flation");
    EXPECT_EQ(ZipResultText(static_cast<ZipResult>(0x12345)), "unknown zip result code");

    char buffer[6] = "xxxxx";
    EXPECT_EQ(ZipResultText(ZipResult::WriteFailed, buffer, sizeof buffer), 21u);
    EXPECT_STREQ(buffer, "Error");
    EXPECT_EQ(ZipResultText(ZipResult::Success, nullptr, 0), 7u);
    EXPECT_EQ(ZipResultText(ZipResult::Success, buffer, 0), 7u);
    EXPECT_STREQ(buffer, "Error");  // untouched with size 0
}

TEST(ZipFormatTest, StoresOnlyAlreadyCompressedExtensions) {
    for (const char* name : {"data.ZIP", "backup.tgz", "old.Z", "x.z", "a/b.Arj", ".gz"}) {
        EXPECT_TRUE(IsStoredExtension(name)) << name;
    }
    for (const char* name : {"notes.txt", "archive.zip.txt", "dir.zip/file", "zip", "a.gzip", "a.zipx"}) {
        EXPECT_FALSE(IsStoredExtension(name)) << name;
    }
}

TEST(ZipFormatTest, KeepsUtf8NamesAndDecodesOthersAsCodePage437) {
    EXPECT_EQ(DecodeEntryName("Fotos/Ünïcödé.jpg"), "Fotos/Ünïcödé.jpg");
    EXPECT_EQ(DecodeEntryName("\x80\x81\xE1\xFF.txt"), "Çüß\u00A0.txt");
    // One invalid sequence makes the whole name code page 437.
    EXPECT_EQ(DecodeEntryName("\xC3\xA9\xE9"), "├⌐Θ");
    for (const char* invalid : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"}) {
        EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
    }
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));
    EXPECT_TRUE(NeedsUtf8Flag("é.txt"));
    EXPECT_FALSE(NeedsUtf8Flag("plain.txt"));
    EXPECT_FALSE(NeedsUtf8Flag("\xE9.txt"));
}

TEST(ZipFormatTest, DosTimeIsLocalTimeAcrossDaylightSaving) {
    test::UseTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
    std::tm summer{};
    summer.tm_year = 124, summer.tm_mon = 6, summer.tm_mday = 1;
    summer.tm_hour = 12, summer.tm_min = 34, summer.tm_sec = 57, summer.tm_isdst = -1;
    const std::time_t summerTime = std::mktime(&summer);
    const std::uint32_t dos = DosDateTimeFromTime(summerTime);
    EXPECT_EQ(dos >> 16, (44u << 9) | (7u << 5) | 1u);
    EXPECT_EQ(dos & 0xFFFF, (12u << 11) | (34u << 5) | 28u);
    EXPECT_EQ(TimeFromDosDateTime(dos), summerTime - 1);  // two-second steps
    const std::time_t winterTime = summerTime - 180 * 86400 + 1;
    EXPECT_EQ(TimeFromDosDateTime(DosDateTimeFromTime(winterTime)), winterTime);
    EXPECT_EQ(DosDateTimeFromTime(0), 0x00210000u);  // 1970 becomes 1 January 1980
    test::UseTimeZone("UTC0");
}

TEST(ZipFormatTest, TimestampFieldsClampAndParse) {
    const auto local = LocalTimestampExtra(1700000000, -5, 3000000000);
    const ExtendedTimestamps times = FindTimestamps(local.data(), local.size());
    EXPECT_EQ(times.modification, 1700000000);
    EXPECT_EQ(times.access, 0);
    EXPECT_EQ(times.creation, 2145916799);  // 31 December 2037, 23:59:59

    // Another field first, then the central copy with flags 7 and one time.
    std::vector<unsigned char> extra = {0x01, 0x00, 0x04, 0x00, 1, 2, 3, 4};
    const auto central = CentralTimestampExtra(1700000000);
    extra.insert(extra.end(), central.begin(), central.end());
    const ExtendedTimestamps centralTimes = FindTimestamps(extra.data(), extra.size());
    EXPECT_EQ(centralTimes.modification, 1700000000);
    EXPECT_FALSE(centralTimes.access.has_value());

    // A field that claims more bytes than there are gives what is there.
    const ExtendedTimestamps cut = FindTimestamps(local.data(), 9);
    EXPECT_EQ(cut.modification, 1700000000);
    EXPECT_FALSE(cut.access.has_value());
}

}  // namespace
}  // namespace vaultpack
