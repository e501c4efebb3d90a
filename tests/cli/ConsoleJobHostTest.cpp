#include "cli/ConsoleJobHost.h"

#include <sstream>

#include <gtest/gtest.h>

#include "tests/cli/ScriptedTerminal.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

using test::ScriptedTerminal;

MessageBoxRequest Box(MessageId caption, MessageButtons buttons, MessageLine line) {
    return {caption, buttons, MessageOwner::Progress, {std::move(line)}};
}

const MessageBoxRequest kUnzipOverwrite = Box(MessageId::CaptionQuestion, MessageButtons::YesNoCancel,
                                              MessageLine::Text(MessageId::UnzipOverwriteQuestion, {"/out/a.txt"}));
const MessageBoxRequest kDecryptOverwrite = Box(MessageId::CaptionQuestion, MessageButtons::YesNo,
                                                MessageLine::Text(MessageId::DecryptOverwriteQuestion, {"/out/a"}));
const MessageBoxRequest kContinue =
    Box(MessageId::CaptionError, MessageButtons::YesNo, MessageLine::Text(MessageId::ContinueWithNextFile));

class ConsoleJobHostTest : public ::testing::Test {
protected:
    ConsoleJobHost Host(Terminal* terminal, OverwritePolicy policy = OverwritePolicy::Ask,
                        std::optional<std::filesystem::path> fileToSave = {}) {
        ConsoleHostAnswers answers;
        answers.overwrite = policy;
        answers.fileToSave = std::move(fileToSave);
        return ConsoleJobHost(catalogue, answers, terminal, output, errors, cancel, nullptr);
    }

    const MessageCatalogue catalogue{MessageCatalogue::Language::English};
    std::ostringstream output;
    std::ostringstream errors;
    std::atomic<bool> cancel{false};
};

TEST_F(ConsoleJobHostTest, PolicyAnswersOverwriteQuestionsAndNoTerminalAnswersTheRestNo) {
    ConsoleJobHost yes = Host(nullptr, OverwritePolicy::Yes);
    EXPECT_EQ(yes.ShowMessage(kUnzipOverwrite), MessageAnswer::Yes);
    EXPECT_EQ(yes.ShowMessage(kDecryptOverwrite), MessageAnswer::Yes);
    EXPECT_EQ(yes.ShowMessage(kContinue), MessageAnswer::No);  // not an overwrite question
    EXPECT_EQ(Host(nullptr, OverwritePolicy::No).ShowMessage(kUnzipOverwrite), MessageAnswer::No);
    EXPECT_EQ(errors.str(), "Continue with next file?\n(no terminal to answer on: no)\n");

    EXPECT_EQ(Host(nullptr).ShowMessage(kUnzipOverwrite), MessageAnswer::No);  // not Cancel: the others go on
    EXPECT_EQ(output.str(), "");
}

TEST_F(ConsoleJobHostTest, TerminalIsAskedUntilAnAnswerFitsAndItsEndStops) {
    ScriptedTerminal terminal({"maybe", "C", "c", "Yes", std::nullopt, std::nullopt});
    ConsoleJobHost host = Host(&terminal);
    EXPECT_EQ(host.ShowMessage(kUnzipOverwrite), MessageAnswer::Cancel);
    EXPECT_EQ(host.ShowMessage(kDecryptOverwrite), MessageAnswer::Yes);  // "c" is no answer to Yes/No
    EXPECT_EQ(host.ShowMessage(kUnzipOverwrite), MessageAnswer::Cancel);
    EXPECT_EQ(host.ShowMessage(kContinue), MessageAnswer::No);
    EXPECT_NE(terminal.written.find("\"/out/a.txt\" already exists, overwrite it?\n[y]es, [n]o or [c]ancel? "),
              std::string::npos);
    EXPECT_EQ(terminal.echoes, std::vector<bool>(6, true));
    EXPECT_FALSE(host.UserCancelled());

    // After Ctrl-C nothing more is asked.
    ScriptedTerminal silent;
    ConsoleJobHost interrupted = Host(&silent);
    cancel = true;
    EXPECT_TRUE(interrupted.CancelRequested());
    EXPECT_EQ(interrupted.ShowMessage(kUnzipOverwrite), MessageAnswer::Cancel);
    EXPECT_EQ(interrupted.AskPassword("hint"), std::nullopt);
    EXPECT_TRUE(interrupted.UserCancelled());
}

TEST_F(ConsoleJobHostTest, SaveFileConfirmsReplacingAnExistingFileAndRefusesAFolder) {
    test::TempDir folder;
    const auto existing = folder / "old.zip";
    test::WriteFile(existing, std::string("old"));
    ScriptedTerminal terminal({"n", "y"});
    EXPECT_EQ(Host(&terminal, OverwritePolicy::Ask, existing).ChooseFileToSave(FileFilter::Zip, ""), std::nullopt);
    EXPECT_EQ(Host(&terminal, OverwritePolicy::Ask, existing).ChooseFileToSave(FileFilter::Zip, ""), existing);
    EXPECT_EQ(Host(nullptr, OverwritePolicy::Yes, folder.Path()).ChooseFileToSave(FileFilter::Zip, ""), std::nullopt);
}

TEST_F(ConsoleJobHostTest, TerminalPasswordShowsTheHintAndIsAskedALimitedNumberOfTimes) {
    ScriptedTerminal terminal({"has space", "First", "Second", "Third"});
    ConsoleJobHost host = Host(&terminal);
    EXPECT_EQ(host.AskPassword("my \x1b hint"), "First");
    EXPECT_EQ(host.AskPassword(""), "Second");
    EXPECT_EQ(host.AskPassword(""), "Third");
    EXPECT_EQ(host.AskPassword(""), std::nullopt);  // the job then ends with a wrong password
    EXPECT_NE(terminal.written.find("Hint: my ? hint\nEnter Password: The password contains invalid characters.\n"),
              std::string::npos);
    EXPECT_NE(terminal.written.find("Hint: --\n"), std::string::npos);
    EXPECT_EQ(terminal.echoes, std::vector<bool>(4, false));

    ScriptedTerminal ended({std::nullopt});
    ConsoleJobHost cancelled = Host(&ended);
    EXPECT_EQ(cancelled.AskPassword(""), std::nullopt);
    EXPECT_TRUE(cancelled.UserCancelled());
    EXPECT_FALSE(cancelled.PasswordRefused());
}

}  // namespace
}  // namespace vaultpack
