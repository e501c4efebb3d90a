// The wrapper of a job its starter may abandon: before the abandon every call
// reaches the wrapped host, from it on none does.

#include "jobs/AbandonableJobHost.h"

#include <gtest/gtest.h>

#include "tests/jobs/JobTestSupport.h"
#include "tests/support/ScriptedJobHost.h"

namespace vaultpack {
namespace {

using test::Unowned;
using Path = std::filesystem::path;
using Strings = std::vector<std::string>;

TEST(AbandonableJobHostTest, AnswersEveryQuestionAsCancelledOnceAbandoned) {
    test::ScriptedJobHost host;
    host.Expect("folder 125", "/chosen").Expect("message 127", "Yes");
    AbandonableJobHost abandonable(Unowned(host));
    MessageBoxRequest question{MessageId::CaptionQuestion, MessageButtons::YesNoCancel, MessageOwner::Progress,
                               {MessageLine::Text(MessageId::UnzipOverwriteQuestion)}};
    EXPECT_EQ(abandonable.ChooseFolder(MessageId::ChooseFolderToUnzip), Path("/chosen"));
    EXPECT_FALSE(abandonable.CancelRequested());
    // The user closes the window while the question is up: its answer no longer counts.
    host.onMessage = [&] { abandonable.Abandon(); };
    EXPECT_EQ(abandonable.ShowMessage(question), MessageAnswer::Cancel);
    const Strings callsBefore = host.calls;

    EXPECT_TRUE(abandonable.CancelRequested());
    EXPECT_EQ(abandonable.ChooseFileToOpen(FileFilter::Zip), std::nullopt);
    EXPECT_EQ(abandonable.ChooseFileToSave(FileFilter::Ezc, "x.ezc", {}), std::nullopt);
    EXPECT_EQ(abandonable.ChooseFolder(MessageId::ChooseFolderToUnzip), std::nullopt);
    EXPECT_EQ(abandonable.AskPassword("hint"), std::nullopt);
    EXPECT_EQ(abandonable.ShowMessage(question), MessageAnswer::Cancel);
    question.buttons = MessageButtons::YesNo;
    EXPECT_EQ(abandonable.ShowMessage(question), MessageAnswer::No);
    question.buttons = MessageButtons::Ok;
    EXPECT_EQ(abandonable.ShowMessage(question), MessageAnswer::Ok);
    EXPECT_EQ(abandonable.AskOverwrite("/x", OverwriteKind::UnzippedEntry), MessageAnswer::Cancel);
    EXPECT_EQ(abandonable.AskOverwrite("/x", OverwriteKind::DecryptedFile), MessageAnswer::No);
    EXPECT_FALSE(abandonable.AskContinueAfterFailure({MessageLine::Literal("why")}));
    abandonable.ShowProgress();
    abandonable.SetProgressTitle(MessageId::UnzippingProgressTitle);
    abandonable.SetStatus(MessageLine::Text(MessageId::StartUnzipping));
    abandonable.SetCancelCaption(MessageId::Cancel);
    abandonable.SetRange(5);
    abandonable.SetPosition(1);
    abandonable.SetAmounts({1, 5, 0});
    abandonable.Complete(JobCompletion{});
    EXPECT_EQ(host.calls, callsBefore);
    EXPECT_EQ(callsBefore, (Strings{"folder 125", "message 127"}));
}

// Before any abandon, a cancel of the wrapped host (its progress window's
// Cancel) stops the job through the wrapper.
TEST(AbandonableJobHostTest, CancelledWhenTheWrappedHostIs) {
    test::ScriptedJobHost host;
    host.CancelAtPosition(1);
    AbandonableJobHost abandonable(Unowned(host));
    EXPECT_FALSE(abandonable.CancelRequested());
    abandonable.SetPosition(1);
    EXPECT_TRUE(abandonable.CancelRequested());
}

}  // namespace
}  // namespace vaultpack
