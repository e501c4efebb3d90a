#include "app/StartupArguments.h"

#include <gtest/gtest.h>

namespace vaultpack {
namespace {

using Outcome = StartupDecision::Outcome;

TEST(StartupArguments, FollowTheArgumentTable) {
    struct Row {
        std::vector<std::string> arguments;
        Outcome outcome;
        std::string file;
    };
    const Row rows[] = {
        {{}, Outcome::MainWindow, ""},
        {{"-v"}, Outcome::PrintVersion, ""},
        {{"-verbose"}, Outcome::PrintVersion, ""},
        {{"-"}, Outcome::PrintVersion, ""},
        {{""}, Outcome::PrintVersion, ""},
        {{"-V"}, Outcome::MainWindow, ""},
        {{"v"}, Outcome::MainWindow, ""},
        {{"-v", "x"}, Outcome::Nothing, ""},
        {{"-d"}, Outcome::MainWindow, ""},
        {{"-d", "/tmp/a b.ezc"}, Outcome::DecryptAtStart, "/tmp/a b.ezc"},
        {{"-D", "a.ezc"}, Outcome::Nothing, ""},
        {{"-d", "a.ezc", "extra"}, Outcome::MainWindow, ""},
        {{"-u"}, Outcome::Uninstall, ""},
        {{"-U"}, Outcome::MainWindow, ""},
        {{"-u", "x"}, Outcome::Nothing, ""},
        {{"--open", "/tmp/a b.zip"}, Outcome::OpenArchive, "/tmp/a b.zip"},
        {{"--open"}, Outcome::MainWindow, ""},
        {{"--Open", "a.zip"}, Outcome::Nothing, ""},
        {{"-open", "a.zip"}, Outcome::Nothing, ""},
        {{"--open", "a.zip", "extra"}, Outcome::MainWindow, ""},
    };
    for (const Row& row : rows) {
        const StartupDecision decision = DecideStartup(row.arguments);
        const std::string shown = row.arguments.empty() ? "(none)" : "\"" + row.arguments.front() + "\"...";
        EXPECT_EQ(decision.outcome, row.outcome) << shown << " with " << row.arguments.size() << " arguments";
        EXPECT_EQ(decision.file, row.file) << shown;
    }
}

}  // namespace
}  // namespace vaultpack
