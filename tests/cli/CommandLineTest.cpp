#include "cli/CommandLine.h"

#include <gtest/gtest.h>

namespace vaultpack {
namespace {

ParsedCommandLine Parse(std::vector<std::string_view> arguments) { return ParseCommandLine(arguments); }

TEST(CommandLine, DoubleDashEndsTheOptionsAndHelpBeforeItWins) {
    const auto command = Parse({"create", "--zip", "out.zip", "-", "--", "--encrypt"}).command;
    ASSERT_TRUE(command);
    EXPECT_FALSE(command->encrypt);
    EXPECT_EQ(command->items, (std::vector<std::filesystem::path>{"-", "--encrypt"}));
    EXPECT_EQ(Parse({"unzip", "--bogus", "--help"}).command->kind, CommandKind::Help);
    EXPECT_EQ(Parse({"list", "--", "--help"}).command->kind, CommandKind::List);
}

TEST(CommandLine, RefusesWhatNoCommandTakes) {
    const std::vector<std::vector<std::string_view>> wrong = {
        {},
        {"pack", "x"},
        {"--version", "extra"},
        {"create", "out.zip", "a"},                      // neither --zip nor --encrypt
        {"create", "--zip", "out.zip"},                  // no ITEM
        {"create", "--zip=yes", "out.zip", "a"},         // a flag with a value
        {"create", "--encrypt", "--order", "first", "o", "a"},
        {"create", "--encrypt", "--hint", std::string_view("0123456789abcdef0123456789abcdefX"), "o", "a"},
        {"create", "--encrypt", "o", "a", "--password-file"},  // value missing
        {"decrypt", "--zip", "c.ezc"},                   // not an option of decrypt
        {"decrypt", "a.ezc", "b.ezc"},
        {"unzip", "--hint", "h", "a.zip"},                // a hint belongs to a container
        {"unzip", "a.zip", "out", "more"},
        {"unzip", "--overwrite", "always", "a.zip"},
        {"list"},
        {"info", "--overwrite=yes", "c.ezc"},
    };
    for (const auto& arguments : wrong) {
        const ParsedCommandLine parsed = Parse(arguments);
        EXPECT_FALSE(parsed.command) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(parsed.error.empty());
    }
    EXPECT_TRUE(Parse({"create", "--encrypt", "--hint", "0123456789abcdef0123456789abcdef", "o", "a"}).command);
}

}  // namespace
}  // namespace vaultpack
