#include "cli/CommandLine.h"

#include <gtest/gtest.h>

namespace vaultpack {
namespace {

ParsedCommandLine Parse(std::vector<std::string_view> arguments) { return ParseCommandLine(arguments); }

TEST(CommandLine, CreateTakesOptionsAnywhereInBothSpellings) {
    const ParsedCommandLine parsed = Parse({"create", "out.ezc", "--encrypt", "a.txt", "--order=zip-first", "--hint",
                                            "my hint", "--password-file", "-", "--overwrite=yes", "dir/"});
    ASSERT_TRUE(parsed.command) << parsed.error;
    const CommandLine& command = *parsed.command;
    EXPECT_EQ(command.kind, CommandKind::Create);
    EXPECT_TRUE(command.encrypt);
    EXPECT_FALSE(command.zip);
    EXPECT_EQ(command.order, 1);
    EXPECT_EQ(command.hint, "my hint");
    EXPECT_EQ(command.passwordFile, std::filesystem::path("-"));
    EXPECT_EQ(command.overwrite, OverwritePolicy::Yes);
    EXPECT_EQ(command.target, "out.ezc");
    EXPECT_EQ(command.items, (std::vector<std::filesystem::path>{"a.txt", "dir/"}));
}

TEST(CommandLine, DefaultsAndOperandsOfEachCommand) {
    const auto create = Parse({"create", "--zip", "out.zip", "a"}).command;
    ASSERT_TRUE(create);
    EXPECT_EQ(create->order, 0);  // encrypt first, as the options window preselects
    EXPECT_EQ(create->overwrite, OverwritePolicy::Ask);
    EXPECT_FALSE(create->passwordFile);

    const auto unzip = Parse({"unzip", "a.zip"}).command;
    ASSERT_TRUE(unzip);
    EXPECT_EQ(unzip->target, "a.zip");
    EXPECT_TRUE(unzip->folder.empty());
    EXPECT_EQ(Parse({"unzip", "--overwrite", "no", "a.zip", "out"}).command->folder, "out");

    // "--" ends the options; "-" is an operand.
    const auto dashed = Parse({"decrypt", "--", "--odd.ezc"}).command;
    ASSERT_TRUE(dashed);
    EXPECT_EQ(dashed->target, "--odd.ezc");
    EXPECT_EQ(Parse({"list", "-"}).command->target, "-");
    EXPECT_EQ(Parse({"info", "c.ezc"}).command->kind, CommandKind::Info);

    EXPECT_EQ(Parse({"--version"}).command->kind, CommandKind::Version);
    EXPECT_EQ(Parse({"--help"}).command->kind, CommandKind::Help);
    EXPECT_EQ(Parse({"unzip", "--bogus", "--help"}).command->kind, CommandKind::Help);
    EXPECT_FALSE(Parse({"list", "--", "--help"}).command->kind == CommandKind::Help);
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
        {"unzip", "--password-file", "p", "a.zip"},
        {"unzip", "a.zip", "out", "more"},
        {"unzip", "--overwrite", "always", "a.zip"},
        {"list"},
        {"info", "--overwrite=yes", "c.ezc"},
    };
    for (const auto& arguments : wrong) {
        const ParsedCommandLine parsed = Parse(arguments);
        EXPECT_FALSE(parsed.command) << (arguments.empty() ? "(none)" : arguments[0]);
        EXPECT_FALSE(parsed.error.empty());
    }
    EXPECT_TRUE(Parse({"create", "--encrypt", "--hint", "0123456789abcdef0123456789abcdef", "o", "a"}).command);
}

}  // namespace
}  // namespace vaultpack
