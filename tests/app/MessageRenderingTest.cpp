#include "app/MessageRendering.h"

#include <gtest/gtest.h>

namespace vaultpack {
namespace {

TEST(MessageRendering, FillsEachPlaceholderKindAndAppendsLiteralText) {
    const MessageCatalogue english(MessageCatalogue::Language::English);
    EXPECT_EQ(RenderMessageLine(english, MessageLine::Text(MessageId::StatusZipping, {}, " \"a.txt\"")),
              "Zipping \"a.txt\"");
    EXPECT_EQ(RenderMessageLine(english, MessageLine::Text(MessageId::StatusDecrypting, {"/t/100%s.ezc"})),
              "Decrypting \"/t/100%s.ezc\"");
    EXPECT_EQ(RenderMessageLine(english, MessageLine::Text(MessageId::UnzipSummary, {"2", "3"})),
              "2 out of 3 files have been unzipped successfully");
    EXPECT_EQ(RenderMessageLine(english, MessageLine::Literal("Error writing to file")), "Error writing to file");
}

TEST(MessageRendering, JoinsLinesWithLineFeeds) {
    const MessageCatalogue japanese(MessageCatalogue::Language::Japanese);
    const std::vector<MessageLine> lines = {MessageLine::Literal("Error reading file"), MessageLine::Literal("(/x/a)"),
                                            MessageLine::Text(MessageId::ContinueWithNextFile)};
    EXPECT_EQ(RenderMessageLines(japanese, lines),
              "Error reading file\n(/x/a)\n" + japanese.Load(MessageId::ContinueWithNextFile));
    EXPECT_EQ(RenderMessageLines(japanese, {}), "");
}

}  // namespace
}  // namespace vaultpack
