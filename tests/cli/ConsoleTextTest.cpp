// What vaultpack-cli prints besides the catalogue's texts: names made safe
// for a terminal, and the progress line.

#include <gtest/gtest.h>

#include <sstream>

#include "app/PrintableText.h"
#include "cli/ProgressBar.h"

namespace vaultpack {
namespace {

TEST(PrintableText, ControlsBecomeQuestionMarksAndWideCharactersTakeTwoColumns) {
    EXPECT_EQ(PrintableText("a\x1b[31mred\x07\tb\x7f", true), "a?[31mred??b?");
    EXPECT_EQ(PrintableText("line\nnext", true), "line\nnext");
    EXPECT_EQ(PrintableText("line\nnext", false), "line?next");
    // C1 controls, encoded and as single bytes; an overlong ESC.
    EXPECT_EQ(PrintableText("x\xc2\x9b" "2Jy\x9b" "z\xc0\x9b", true), "x?2Jy?z?");
    const std::string kanji = "\xe6\xbc\xa2\xe5\xad\x97";  // two wide characters
    const std::string text = "caf\xc3\xa9 " + kanji + " \xf0\x9f\x98\x80";
    EXPECT_EQ(PrintableText(text, true), text);
    EXPECT_EQ(DisplayWidth(kanji + "a"), 5u);
    EXPECT_EQ(FitToColumns(kanji + "a", 3), "\xe6\xbc\xa2");  // never half a wide character
    EXPECT_EQ(FitToColumns(kanji + "a", 4), kanji);
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

TEST(ProgressBar, CountOfSeveralFilesComesBeforeTheStatus) {
    std::ostringstream terminal;
    ProgressBar bar(terminal, 80);
    bar.Show();
    bar.SetRange(4);
    bar.SetPosition(1);
    bar.SetStatus("Zipping");
    bar.SetCount(0, 1);
    EXPECT_TRUE(terminal.str().ends_with("  25% Zipping\x1b[K")) << terminal.str();
    bar.SetCount(3, 12);
    EXPECT_TRUE(terminal.str().ends_with("  25% 3/12 Zipping\x1b[K")) << terminal.str();
}

}  // namespace
}  // namespace vaultpack
