// The shared rules of the jobs: status-line shortening, output names and the
// choice of the create combination.

#include <gtest/gtest.h>

#include <ostream>

#include "jobs/CreateArchivePlan.h"
#include "jobs/StatusText.h"
#include "tests/jobs/JobTestSupport.h"

namespace vaultpack {
namespace {

using test::EnglishText;

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

struct ShorteningRow {
    const char* name;
    std::string text;
    std::size_t kept;
    std::string expected;
};

void PrintTo(const ShorteningRow& row, std::ostream* out) {
    *out << row.name;
}

class ShortenForStatusTest : public testing::TestWithParam<ShorteningRow> {};

TEST_P(ShortenForStatusTest, KeepsTheLastCharacters) {
    EXPECT_EQ(ShortenForStatus(GetParam().text, GetParam().kept), GetParam().expected);
}

const std::string kDigits30 = Repeat("0123456789", 3);

INSTANTIATE_TEST_SUITE_P(
    Rows, ShortenForStatusTest,
    testing::Values(ShorteningRow{"Empty", "", 30, ""},
                    ShorteningRow{"ThirtyShownWhole", kDigits30, 30, kDigits30},
                    ShorteningRow{"ThirtyOneCut", "x" + kDigits30, 30, "..." + kDigits30},
                    ShorteningRow{"FortyShownWhole", "abcdefghij" + kDigits30, 40, "abcdefghij" + kDigits30},
                    ShorteningRow{"FortyOneCut", "_abcdefghij" + kDigits30, 40, "...abcdefghij" + kDigits30},
                    // 31 two-byte characters (62 bytes) lose only the first one.
                    ShorteningRow{"TwoByteCharactersCountOnce", Repeat("\xC3\xA9", 31), 30,
                                  "..." + Repeat("\xC3\xA9", 30)},
                    // The cut never splits the four-byte character in front of the kept ones.
                    ShorteningRow{"NoCutInsideACharacter", "/home/\xF0\x9F\x93\x81" + kDigits30, 31,
                                  "...\xF0\x9F\x93\x81" + kDigits30},
                    ShorteningRow{"ThirtyWideCharactersWhole", Repeat("\xE6\x96\x87", 30), 30,
                                  Repeat("\xE6\x96\x87", 30)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StatusLineTest, ReadsAsTheUserSeesIt) {
    const std::string longPath = "/home/user/documents/" + kDigits30 + ".txt";
    const std::string tail = "..." + longPath.substr(longPath.size() - 30);
    EXPECT_EQ(EnglishText(ZippingStatus(longPath)), "Zipping \"" + tail + "\"");
    EXPECT_EQ(EnglishText(EncryptingStatus(longPath)), "Encrypting'" + tail + "'");
    EXPECT_EQ(EnglishText(DecryptingStatus(longPath)), "Decrypting \"" + longPath + "\"");
    EXPECT_EQ(EnglishText(UnzippingStatus("dir/" + kDigits30 + ".txt")), "Unzipping \"dir/" + kDigits30 + ".txt\"");
    EXPECT_EQ(EnglishText(UnzippingStatus("1234567/" + kDigits30 + ".txt")),
              "Unzipping \"...34567/" + kDigits30 + ".txt\"");
    // A percent sign in a name is shown, not interpreted.
    EXPECT_EQ(EnglishText(UnzippingStatus("100%s.txt")), "Unzipping \"100%s.txt\"");
}

TEST(OutputNameTest, BaseNameAndDefaultName) {
    struct Row {
        std::string path;
        std::string baseName;
        std::string defaultZip;
    };
    for (const Row& row : {Row{"/data/report.txt", "report", "report.zip"},
                           Row{"/data/archive.tar.gz", "archive.tar", "archive.tar.zip"},
                           Row{"/data/README", "README", "README.zip"},
                           Row{"/data/.profile", "", ".zip"},
                           Row{"/data.d/notes", "notes", "notes.zip"}}) {
        const std::filesystem::path path = row.path;
        EXPECT_EQ(BaseName(path), row.baseName) << row.path;
        EXPECT_EQ(DefaultOutputName(path.filename().string(), FileFilter::Zip), row.defaultZip) << row.path;
    }
    EXPECT_EQ(DefaultOutputName("photo.jpeg", FileFilter::Ezc), "photo.ezc");
}

TEST(ChooseCombinationTest, FollowsTheSwitchesAndTheOrder) {
    struct Row {
        const char* name;
        int items;
        bool zip;
        bool encrypt;
        int order;
        CreateCombination expected;
        FileFilter output;
    };
    using enum CreateCombination;
    const Row rows[] = {
        {"SeveralZip", 3, true, false, 1, ZipList, FileFilter::Zip},
        {"SeveralBoth", 3, true, true, 0, ZipListThenEncrypt, FileFilter::Ezc},
        {"SeveralEncryptOnlyIsZippedFirst", 3, false, true, 0, ZipListThenEncrypt, FileFilter::Ezc},
        {"OneZip", 1, true, false, 0, ZipSingle, FileFilter::Zip},
        {"OneEncrypt", 1, false, true, 0, EncryptSingle, FileFilter::Ezc},
        {"OneBothZipFirst", 1, true, true, 7, ZipSingleThenEncrypt, FileFilter::Ezc},
        {"OneBothEncryptFirst", 1, true, true, 0, EncryptSingleThenZip, FileFilter::Zip},
        {"NeitherSwitchZips", 1, false, false, 0, ZipSingle, FileFilter::Zip},
    };
    for (const Row& row : rows) {
        CreateArchiveParams params;
        params.items.resize(static_cast<std::size_t>(row.items));
        params.zipEnabled = row.zip;
        params.encryptEnabled = row.encrypt;
        params.order = row.order;
        EXPECT_EQ(ChooseCombination(params), row.expected) << row.name;
        EXPECT_EQ(OutputKind(row.expected), row.output) << row.name;
    }
}

}  // namespace
}  // namespace vaultpack
