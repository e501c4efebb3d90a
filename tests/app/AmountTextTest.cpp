#include "app/AmountText.h"

#include <gtest/gtest.h>

namespace vaultpack {
namespace {

const MessageCatalogue kEnglish(MessageCatalogue::Language::English);

TEST(AmountText, SizesInTheLargestUnitBelowAThousand) {
    const struct {
        std::uint64_t bytes;
        const char* text;
    } rows[] = {
        {0, "0 bytes"},          {999, "999 bytes"},      {1000, "1.0 kB"},
        {3'449'000, "3.4 MB"},   {999'949, "999.9 kB"},   {999'950, "1.0 MB"},
        {1'500'000'000, "1.5 GB"}, {UINT64_MAX, "18.4 EB"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ByteSizeText(kEnglish, row.bytes), row.text) << row.bytes;
    }
}

TEST(AmountText, DurationsAndListSummaries) {
    EXPECT_EQ(DurationText(kEnglish, 0), "0 s");
    EXPECT_EQ(DurationText(kEnglish, 59), "59 s");
    EXPECT_EQ(DurationText(kEnglish, 200), "3 min 20 s");
    EXPECT_EQ(DurationText(kEnglish, 7500), "2 h 5 min");
    EXPECT_EQ(ListSummaryText(kEnglish, 1, 3), "1 item, 3 bytes");
    EXPECT_EQ(ListSummaryText(kEnglish, 12, 3'400'000), "12 items, 3.4 MB");
    const MessageCatalogue japanese(MessageCatalogue::Language::Japanese);
    EXPECT_EQ(ListSummaryText(japanese, 12, 999), "12 個の項目、999 バイト");
}

TEST(AmountText, ProgressFiguresLeaveOutWhatIsUnknown) {
    const struct {
        ProgressFigures figures;
        const char* text;
    } rows[] = {
        {{}, ""},
        {{0, 1, 0, {}, false, {}}, "0%"},
        {{3, 12, 25, 14'200'000.0, true, 80.2}, "3 of 12 files \u00B7 25%\n14.2 MB/s \u00B7 1 min 21 s left"},
        {{40, 60'000, 0, 120.4, false, 3.0}, "40 of 60000 files \u00B7 0%\n120 files/s \u00B7 3 s left"},
        {{0, 0, {}, {}, false, 9.0}, "9 s left"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ProgressFiguresText(kEnglish, row.figures), row.text);
    }
}

}  // namespace
}  // namespace vaultpack
