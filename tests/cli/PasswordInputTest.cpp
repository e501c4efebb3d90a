#include "cli/PasswordInput.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/cli/ScriptedTerminal.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

const MessageCatalogue kEnglish(MessageCatalogue::Language::English);

PasswordInput FromFileHolding(const std::string& content) {
    test::TempDir folder;
    test::WriteFile(folder / "password", content);
    return ReadPasswordFile(folder / "password", -1, kEnglish);
}

TEST(PasswordInput, FileGivesItsFirstLineWhenThatKeepsTheRule) {
    EXPECT_EQ(FromFileHolding("Secret\nsecond line\n").password, "Secret");
    EXPECT_EQ(FromFileHolding("Secret").password, "Secret");
    EXPECT_EQ(FromFileHolding("0123456789abcdef\r\n").password, "0123456789abcdef");

    EXPECT_EQ(FromFileHolding("\nSecret\n").problem, "Please enter the password.");
    EXPECT_EQ(FromFileHolding("0123456789abcdefX\n").problem, "The password is longer than 16 characters.");
    EXPECT_EQ(FromFileHolding(std::string(100000, 'x')).status, PasswordInput::Status::Refused);
    const PasswordInput missing = ReadPasswordFile("/nonexistent/password", -1, kEnglish);
    EXPECT_EQ(missing.status, PasswordInput::Status::Refused);
    EXPECT_NE(missing.problem.find("/nonexistent/password"), std::string::npos);
}

TEST(PasswordInput, DashReadsStandardInputUpToTheFirstLineOnly) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const std::string content = "FromPipe\nleft for others";
    ASSERT_EQ(::write(pipeEnds[1], content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ::close(pipeEnds[1]);
    EXPECT_EQ(ReadPasswordFile("-", pipeEnds[0], kEnglish).password, "FromPipe");
    char rest[32] = {};
    EXPECT_EQ(::read(pipeEnds[0], rest, sizeof rest), 15);
    EXPECT_STREQ(rest, "left for others");
    ::close(pipeEnds[0]);
}

TEST(PasswordInput, NewPasswordIsTypedTwiceUntilBothAgreeOrTheRoundsRunOut) {
    test::ScriptedTerminal terminal({"", "", "Secret", "secret", "Secret", "Secret"});
    const PasswordInput input = AskNewPasswordOnTerminal(terminal, kEnglish);
    EXPECT_EQ(input.password, "Secret");
    EXPECT_EQ(terminal.written,
              "Enter Password: Retype Password: Please enter the password.\n"
              "Enter Password: Retype Password: Passwords do not match.\n"
              "Enter Password: Retype Password: ");
    EXPECT_EQ(terminal.echoes, std::vector<bool>(6, false));

    test::ScriptedTerminal refusing({"a b", "a b", "x", "y", "", ""});
    const PasswordInput refused = AskNewPasswordOnTerminal(refusing, kEnglish);
    EXPECT_EQ(refused.status, PasswordInput::Status::Refused);
    EXPECT_EQ(refused.problem, "Please enter the password.");  // the last reason, left to the caller

    test::ScriptedTerminal ended({"Secret", std::nullopt});
    EXPECT_EQ(AskNewPasswordOnTerminal(ended, kEnglish).status, PasswordInput::Status::Cancelled);
}

}  // namespace
}  // namespace vaultpack
