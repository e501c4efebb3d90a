// The rules the jobs share: status-line shortening and output names.

#include <gtest/gtest.h>

#include "jobs/CreateArchivePlan.h"
#include "jobs/StatusText.h"
#include "tests/jobs/JobTestSupport.h"

namespace vaultpack {
namespace {

using test::PrintTo;

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

const std::string kDigits30 = Repeat("0123456789", 3);

struct ShorteningRow {
    const char* name;
    std::string text;
    std::size_t kept;
    std::string expected;
};

class ShortenForStatusTest : public testing::TestWithParam<ShorteningRow> {};

TEST_P(ShortenForStatusTest, KeepsTheLastCharacters) {
    EXPECT_EQ(ShortenForStatus(GetParam().text, GetParam().kept), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ShortenForStatusTest,
    testing::Values(ShorteningRow{"ThirtyShownWhole", kDigits30, 30, kDigits30},
                    ShorteningRow{"ThirtyOneCut", "x" + kDigits30, 30, "..." + kDigits30},
                    ShorteningRow{"FortyShownWhole", "abcdefghij" + kDigits30, 40, "abcdefghij" + kDigits30},
                    ShorteningRow{"FortyOneCut", "_abcdefghij" + kDigits30, 40, "...abcdefghij" + kDigits30},
                    // A character is a code point: 31 two-byte characters lose only the first one.
                    ShorteningRow{"TwoByteCharactersCountOnce", Repeat("\xC3\xA9", 31), 30,
                                  "..." + Repeat("\xC3\xA9", 30)},
                    ShorteningRow{"ThirtyThreeByteCharactersWhole", Repeat("\xE6\x96\x87", 30), 30,
                                  Repeat("\xE6\x96\x87", 30)},
                    // The cut never splits the four-byte character in front of the kept ones.
                    ShorteningRow{"NoCutInsideACharacter", "/home/\xF0\x9F\x93\x81" + kDigits30, 31,
                                  "...\xF0\x9F\x93\x81" + kDigits30}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StatusLineTest, EncryptingHasNoBlankAndPercentSignsStayText) {
    EXPECT_EQ(test::EnglishText(EncryptingStatus("/data/" + kDigits30)), "Encrypting'..." + kDigits30 + "'");
    EXPECT_EQ(test::EnglishText(UnzippingStatus("100%s.txt")), "Unzipping \"100%s.txt\"");
}

TEST(OutputNameTest, BaseNameAndDefaultName) {
    struct Row {
        std::filesystem::path path;
        std::string baseName;
        std::string defaultName;
    };
    for (const Row& row : {Row{"/data/archive.tar.gz", "archive.tar", "archive.tar.zip"},
                           Row{"/data/README", "README", "README.zip"}, Row{"/data/.profile", "", ".zip"},
                           Row{"/data.d/notes", "notes", "notes.zip"}}) {
        EXPECT_EQ(BaseName(row.path), row.baseName) << row.path;
        EXPECT_EQ(DefaultOutputName(row.path.filename().string(), FileFilter::Zip), row.defaultName) << row.path;
    }
}

}  // namespace
}  // namespace vaultpack
