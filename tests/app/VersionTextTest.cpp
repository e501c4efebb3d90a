#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "app/VersionText.h"

namespace vaultpack {
namespace {

struct StampCase {
    const char* date;
    const char* time;
    const char* expected;
};

TEST(VersionText, BuildStampFromDateAndTime) {
    const StampCase cases[] = {
        {"Mar 20 2007", "15:54:05", "2007.0320.1554"},
        {"Oct  5 2007", "09:07:33", "2007.1005.0907"},  // day padded with a space
        {"Jan 31 2008", "23:59:59", "2008.0131.2359"},
        {"Sep  1 2024", "00:00:00", "2024.0901.0000"},
        {"Dec 31 1999", "12:34:56", "1999.1231.1234"},
        {"mAR 20 2007", "15:54:05", "2007.0320.1554"},  // the month is matched without case
    };
    for (const StampCase& c : cases) {
        EXPECT_EQ(BuildStamp(c.date, c.time), c.expected) << c.date << ' ' << c.time;
    }
}

TEST(VersionText, MalformedBuildMomentGivesZeroFields) {
    const StampCase cases[] = {
        {"Foo 20 2007", "15:54:05", "2007.0020.1554"},
        {"March 2007", "15:54", "2007.0300.1554"},
        {"Mar 2x 2007", "1x:54:05", "2007.0300.0054"},
        {"Ma", "1", "0000.0000.0000"},
        {"", "", "0000.0000.0000"},
    };
    for (const StampCase& c : cases) {
        EXPECT_EQ(BuildStamp(c.date, c.time), c.expected) << '"' << c.date << "\" \"" << c.time << '"';
    }
}

TEST(VersionText, ShortAndDottedForms) {
    VersionText version;
    EXPECT_EQ(version.Text(), "1.05\n");
    EXPECT_EQ(version.ShortVersion(), "1.05");
    version.AppendBuildStamp("Mar 20 2007", "15:54:05");
    EXPECT_EQ(version.Text(), "1.05\n2007.0320.1554");
    EXPECT_EQ(version.ShortVersion(), "1.05");
    EXPECT_EQ(version.DottedVersion(), "1.05.2007.0320.1554");

    EXPECT_EQ(VersionText("1.05").ShortVersion(), "");
    EXPECT_EQ(VersionText("").ShortVersion(), "");
    EXPECT_EQ(VersionText("a\nb\nc").ShortVersion(), "a");
    EXPECT_EQ(VersionText("a\nb\n").DottedVersion(), "a.b.");
}

TEST(VersionText, OwnBuildStampIsAValidMoment) {
    VersionText version;
    version.AppendBuildStamp();
    const std::regex form(R"(1\.05\n\d{4}\.(0[1-9]|1[0-2])(0[1-9]|[12]\d|3[01])\.([01]\d|2[0-3])[0-5]\d)");
    EXPECT_TRUE(std::regex_match(version.Text(), form)) << version.Text();
}

}  // namespace
}  // namespace vaultpack
