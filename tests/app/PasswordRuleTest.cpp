#include "app/PasswordRule.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vaultpack {
namespace {

TEST(PasswordRule, AcceptsPrintableAsciiWithoutSpaceFromEndToEnd) {
    EXPECT_EQ(ValidatePassword("!"), std::nullopt);
    EXPECT_EQ(ValidatePassword("~Secret123!"), std::nullopt);
    EXPECT_EQ(ValidatePassword(std::string(40, 'x')), std::nullopt);  // the length is the fields' business
}

TEST(PasswordRule, NamesTheProblemOfARefusedPassword) {
    EXPECT_EQ(ValidatePassword(""), MessageId::EnterPassword);
    const std::vector<std::string> refused = {"with space", "tab\there", std::string("nul\0x", 5), "del\x7f",
                                              "caf\xc3\xa9", "\xe6\xbc\xa2", " "};
    for (const std::string& bad : refused) {
        EXPECT_EQ(ValidatePassword(bad), MessageId::PasswordInvalidCharacters) << bad;
    }
}

TEST(PasswordRule, NewPasswordChecksTheFirstTextBeforeComparing) {
    EXPECT_EQ(ValidateNewPassword("Secret", "Secret"), std::nullopt);
    EXPECT_EQ(ValidateNewPassword("Secret", "secret"), MessageId::PasswordsDoNotMatch);
    EXPECT_EQ(ValidateNewPassword("", ""), MessageId::EnterPassword);
    EXPECT_EQ(ValidateNewPassword("a b", "a b"), MessageId::PasswordInvalidCharacters);
    // The retyped text is only compared, never checked on its own.
    EXPECT_EQ(ValidateNewPassword("Secret", "Sec ret"), MessageId::PasswordsDoNotMatch);
}

}  // namespace
}  // namespace vaultpack
