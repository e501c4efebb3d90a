// The pieces of console output: safe text and the progress line.

#include <sstream>

#include <gtest/gtest.h>

#include "cli/PrintableText.h"
#include "cli/ProgressBar.h"

namespace vaultpack {
namespace {

TEST(PrintableText, ReplacesControlCharactersAndKeepsTheRestOfUtf8) {
    EXPECT_EQ(PrintableText("a\x1b[31mred\x07\tb\x7f", true), "a?[31mred??b?");
    EXPECT_EQ(PrintableText("line\nnext", true), "line\nnext");
    EXPECT_EQ(PrintableText("line\nnext", false), "line?next");
    // C1 controls, encoded and as single bytes; an overlong ESC.
    EXPECT_EQ(PrintableText("x\xc2\x9b" "2Jy\x9b" "z\xc0\x9b", true), "x?2Jy?z?");
    EXPECT_EQ(PrintableText("caf\xc3\xa9 \xe6\xbc\xa2\xe5\xad\x97 \xf0\x9f\x98\x80", true),
              "caf\xc3\xa9 \xe6\xbc\xa2\xe5\xad\x97 \xf0\x9f\x98\x80");
}

TEST(PrintableText, WidthCountsWideCharactersTwiceAndFittingNeverSplitsOne) {
    const std::string kanji = "\xe6\xbc\xa2\xe5\xad\x97";  // two wide characters
    EXPECT_EQ(DisplayWidth("abc"), 3u);
    EXPECT_EQ(DisplayWidth(kanji + "a"), 5u);
    EXPECT_EQ(FitToColumns(kanji + "a", 3), "\xe6\xbc\xa2");
    EXPECT_EQ(FitToColumns(kanji + "a", 4), kanji);
    EXPECT_EQ(FitToColumns("abc", 10), "abc");
}

TEST(ProgressBar, LineShowsBarPercentageAndAsMuchStatusAsFits) {
    EXPECT_EQ(FormatProgressLine("Zipping", 0, 4, 80), "[--------------------]   0% Zipping");
    EXPECT_EQ(FormatProgressLine("Zipping", 1, 4, 80), "[#####---------------]  25% Zipping");
    EXPECT_EQ(FormatProgressLine("", 9, 4, 80), "[####################] 100%");
    EXPECT_EQ(FormatProgressLine("", 7, 0, 80), "[--------------------]   0%");
    EXPECT_EQ(FormatProgressLine("Unzipping \"long name\"", 3, 3, 32), "[####################] 100% Unzi");
    // Ranges near the 32-bit limit must not overflow.
    EXPECT_EQ(FormatProgressLine("", 0xFFFFFFFEu, 0xFFFFFFFFu, 80), "[###################-]  99%");
}

TEST(ProgressBar, DrawsOnlyWhenShownAndChangedAndErasesForOtherOutput) {
    std::ostringstream stream;
    ProgressBar bar(stream, 41);
    bar.SetStatus("hidden");
    EXPECT_EQ(stream.str(), "");
    bar.Show();
    bar.SetRange(100);
    const std::string once = stream.str();
    bar.SetPosition(0);  // the same line again
    EXPECT_EQ(stream.str(), once);
    bar.Erase();
    EXPECT_EQ(stream.str(), once + "\r\x1b[K");
    bar.SetStatus("a\x1b" "b");
    EXPECT_EQ(stream.str().substr(once.size() + 4), "\r[--------------------]   0% a?b\x1b[K");
    bar.SetTitle("Title");  // the status line goes first
    EXPECT_TRUE(stream.str().ends_with("% a?b\x1b[K")) << stream.str();
    bar.Hide();
    const std::string hidden = stream.str();
    bar.SetPosition(50);
    EXPECT_EQ(stream.str(), hidden);
    bar.Show();  // a new job starts afresh: no status, so its title
    EXPECT_EQ(stream.str().substr(hidden.size()), "\r[--------------------]   0%\x1b[K");
}

}  // namespace
}  // namespace vaultpack
