// The rules the jobs share: status-line shortening and output names.

#include <gtest/gtest.h>

#include "jobs/CreateArchivePlan.h"
#include "jobs/StatusText.h"
#include "tests/jobs/JobTestSupport.h"

namespace vaultpack {
namespace {

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    while (count-- > 0) {
        text += piece;
    }
    return text;
}

TEST(JobRulesTest, SourcesKeepTheirLastThirtyCharactersOnTheStatusLineAndEntryNamesTheirLastForty) {
    const std::string digits = Repeat("0123456789", 3);
    const std::string letters = "abcdefghij" + digits;
    const std::string accent = "\xC3\xA9";  // one character in two bytes
    const std::pair<MessageLine, std::string> rows[] = {
        {ZippingStatus(digits), "Zipping \"" + digits + "\""},
        {ZippingStatus("/" + digits), "Zipping \"..." + digits + "\""},
        {EncryptingStatus("/data/" + digits), "Encrypting'..." + digits + "'"},
        {UnzippingStatus(letters), "Unzipping \"" + letters + "\""},
        {UnzippingStatus("/" + letters), "Unzipping \"..." + letters + "\""},
        {UnzippingStatus("100%s.txt"), "Unzipping \"100%s.txt\""},
        // A character is a code point, and the cut never splits one.
        {ZippingStatus(Repeat(accent, 31)), "Zipping \"..." + Repeat(accent, 30) + "\""},
        {ZippingStatus(Repeat("\xE6\x96\x87", 30)), "Zipping \"" + Repeat("\xE6\x96\x87", 30) + "\""},
        {UnzippingStatus("/home/\xF0\x9F\x93\x81" + letters.substr(1)),
         "Unzipping \"...\xF0\x9F\x93\x81" + letters.substr(1) + "\""},
    };
    for (const auto& [line, text] : rows) {
        EXPECT_EQ(test::EnglishText(line), text);
    }
}

TEST(JobRulesTest, BaseNameDropsTheLastExtensionOfTheFileName) {
    EXPECT_EQ(BaseName("/data/archive.tar.gz"), "archive.tar");
    EXPECT_EQ(BaseName("/data.d/notes"), "notes");
    EXPECT_EQ(BaseName("/data/.profile"), "");
    EXPECT_EQ(DefaultOutputName("archive.tar.gz", FileFilter::Zip), "archive.tar.zip");
    EXPECT_EQ(DefaultOutputName("README", FileFilter::Ezc), "README.ezc");
}

}  // namespace
}  // namespace vaultpack
