#include "cli/ConsoleJobHost.h"

#include <sstream>

#include <gtest/gtest.h>

namespace vaultpack {
namespace {

// A Ctrl-C that comes between the job's last look at the cancel flag and its
// next question: the host answers that question itself, the answer that
// stops, and neither asks nor tells anything (with no terminal it would
// otherwise answer No and say so).
TEST(ConsoleJobHost, AfterCtrlCAnswersEveryQuestionUnasked) {
    const MessageCatalogue catalogue(MessageCatalogue::Language::English);
    std::ostringstream output;
    const std::atomic<bool> cancel{true};
    ConsoleJobHost host(catalogue, {}, nullptr, output, output, cancel, nullptr);
    const auto question = [](MessageButtons buttons) {
        return MessageBoxRequest{MessageId::CaptionQuestion, buttons, MessageOwner::Progress,
                                 {MessageLine::Text(MessageId::ContinueWithNextFile)}};
    };
    EXPECT_EQ(host.ShowMessage(question(MessageButtons::YesNoCancel)), MessageAnswer::Cancel);
    EXPECT_EQ(host.ShowMessage(question(MessageButtons::YesNo)), MessageAnswer::No);
    EXPECT_EQ(host.AskPassword("hint"), std::nullopt);
    EXPECT_TRUE(host.UserCancelled());
    EXPECT_FALSE(host.PasswordRefused());
    EXPECT_EQ(output.str(), "");
}

}  // namespace
}  // namespace vaultpack
