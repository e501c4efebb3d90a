// The builder's and the options dialog's rules, apart from their widgets.

#include <gtest/gtest.h>

#include "ui/ArchiveListOrder.h"
#include "ui/ArchiveOptions.h"

namespace vaultpack {
namespace {

TEST(ArchiveListOrderTest, SizeTextsAndComparisons) {
    EXPECT_EQ(SizeText(0), "0");
    EXPECT_EQ(SizeText(999), "999");
    EXPECT_EQ(SizeText(1000), "1,000");
    EXPECT_EQ(SizeText(1234567), "1,234,567");
    EXPECT_EQ(SizeText(5368709120ull), "5,368,709,120") << "5 GiB, not its low 32 bits";

    struct Row {
        ArchiveColumn column;
        const char* a;
        const char* b;
        int expected;
    };
    const Row rows[] = {
        {ArchiveColumn::Size, "999", "1,000", -1},
        {ArchiveColumn::Size, "1,000", "1,001", -1},
        {ArchiveColumn::Size, "9", "10", -1},
        {ArchiveColumn::Name, "9", "10", 1},  // text, not number, outside Size
        {ArchiveColumn::Name, "Beta.txt", "alpha.txt", 1},
        {ArchiveColumn::Name, "ALPHA", "alpha", 0},
        {ArchiveColumn::Path, "a\\", "a\\b\\", -1},
        {ArchiveColumn::Type, "\xC3\xA9", "z", 1},  // bytes above 0x7F sort after ASCII
    };
    for (const Row& row : rows) {
        const int comparison = CompareColumnTexts(row.column, row.a, row.b);
        EXPECT_EQ((comparison > 0) - (comparison < 0), row.expected) << row.a << " vs " << row.b;
    }
}

TEST(ArchiveListOrderTest, SameHeaderInvertsAnotherStartsAscending) {
    ArchiveListOrder order;
    EXPECT_FALSE(order.Sorted());
    order.Click(ArchiveColumn::Size);
    EXPECT_TRUE(order.Ascending());
    order.Click(ArchiveColumn::Size);
    EXPECT_FALSE(order.Ascending());
    order.Click(ArchiveColumn::Name);
    EXPECT_EQ(order.Column(), ArchiveColumn::Name);
    EXPECT_TRUE(order.Ascending());
}

TEST(ArchiveOptionsTest, OneItem) {
    ArchiveOptions options(false);
    EXPECT_FALSE(options.OkEnabled());
    options.CheckEncrypt(std::nullopt);  // password dialog cancelled
    EXPECT_FALSE(options.Encrypt());
    options.CheckEncrypt(std::pair(std::string("pw"), std::string("hint")));
    EXPECT_TRUE(options.OkEnabled());
    EXPECT_FALSE(options.Zip()) << "one file is not zipped unasked";
    EXPECT_FALSE(options.OrderGroupShown());
    options.SetEncryptFirst(false);
    ASSERT_TRUE(options.SetZip(true));
    EXPECT_TRUE(options.OrderGroupShown());
    EXPECT_TRUE(options.EncryptFirst()) << "the group appears with Encrypt then Zip";
    options.SetEncryptFirst(false);
    EXPECT_EQ(options.JobRecord({}).order, -1);
    ASSERT_TRUE(options.SetZip(false));
    EXPECT_FALSE(options.OrderGroupShown());

    options.UncheckEncrypt();
    const CreateArchiveParams record = options.JobRecord({});
    EXPECT_FALSE(record.encryptEnabled);
    EXPECT_EQ(record.password, "") << "unchecking forgets the password";
    EXPECT_EQ(record.hint, "");
}

TEST(ArchiveOptionsTest, SeveralItemsAreZippedWhenEncrypted) {
    ArchiveOptions options(true);
    options.CheckEncrypt(std::pair(std::string("pw"), std::string()));
    EXPECT_TRUE(options.Zip());
    EXPECT_FALSE(options.SetZip(false)) << "refused, the caller shows message 117";
    EXPECT_TRUE(options.Zip());
    EXPECT_FALSE(options.OrderGroupShown());
    const CreateArchiveParams record = options.JobRecord({{"a", "", "/a"}, {"b", "", "/b"}});
    EXPECT_TRUE(record.multipleItems && record.zipEnabled && record.encryptEnabled);
    EXPECT_EQ(record.password, "pw");
    EXPECT_EQ(record.items.size(), 2u);
}

// The ZIP's own protection: offered only with Zip, sharing the Encrypt
// password when there is one, and gone (password too) with Zip.
TEST(ArchiveOptionsTest, ProtectingTheZipItself) {
    ArchiveOptions options(false);
    options.CheckAes(std::string("pw"));
    EXPECT_FALSE(options.Aes()) << "not offered without Zip";
    ASSERT_TRUE(options.SetZip(true));
    EXPECT_TRUE(options.AesShown());
    options.CheckAes(std::nullopt);  // password dialog cancelled, no Encrypt password
    EXPECT_FALSE(options.Aes());
    options.CheckAes(std::string("zip-pw"));
    CreateArchiveParams record = options.JobRecord({});
    EXPECT_TRUE(record.aesZip && record.zipEnabled && !record.encryptEnabled);
    EXPECT_EQ(record.password, "zip-pw");

    options.CheckEncrypt(std::pair(std::string("both"), std::string("hint")));
    options.UncheckEncrypt();
    record = options.JobRecord({});
    EXPECT_TRUE(record.aesZip);
    EXPECT_EQ(record.password, "both") << "the last password given protects the ZIP";
    EXPECT_EQ(record.hint, "");

    ASSERT_TRUE(options.SetZip(false));
    record = options.JobRecord({});
    EXPECT_FALSE(record.aesZip);
    EXPECT_EQ(record.password, "") << "unchecking Zip forgets the ZIP's password";

    ArchiveOptions encrypted(false);
    encrypted.CheckEncrypt(std::pair(std::string("pw"), std::string()));
    ASSERT_TRUE(encrypted.SetZip(true));
    encrypted.CheckAes(std::nullopt);  // no dialog: the Encrypt password is taken
    record = encrypted.JobRecord({});
    EXPECT_TRUE(record.aesZip && record.encryptEnabled);
    EXPECT_EQ(record.password, "pw");
}

}  // namespace
}  // namespace vaultpack
