// The host of an abandoned job: nothing more reaches the user, the job winds
// down through its cancel checks, and no completion is delivered.

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "jobs/AbandonableJobHost.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/jobs/ScriptedJobHost.h"

namespace vaultpack {
namespace {

TEST(AbandonableJobHostTest, AbandonedFromAnotherThreadMidWay) {
    const test::JobSandbox sandbox;
    CreateArchiveParams params;
    for (int i = 0; i < 12; ++i) {
        params.items.push_back(test::ItemFor(sandbox.Write("in/file" + std::to_string(i), "data")));
    }
    params.multipleItems = params.zipEnabled = params.encryptEnabled = true;
    params.password = "pw";

    test::ScriptedJobHost host;
    host.Expect("save", (sandbox / "out.ezc").string());
    AbandonableJobHost abandonable(host);
    std::promise<void> reached;
    std::promise<void> abandoned;
    // The job thread pauses at its fourth position (the third item) until the
    // other thread has abandoned it.
    host.onPosition = [&](int count) {
        if (count == 4) {
            reached.set_value();
            abandoned.get_future().wait();
        }
    };

    JobOutcome outcome = JobOutcome::Succeeded;
    std::thread job([&] { outcome = RunCreateArchiveJob(params, abandonable); });
    reached.get_future().wait();
    abandonable.Abandon();
    abandoned.set_value();
    job.join();

    EXPECT_EQ(outcome, JobOutcome::Cancelled);
    EXPECT_EQ(host.calls.back(), "position 2") << "nothing reached the host after the abandon";
    EXPECT_TRUE(host.messages.empty()) << "not even the \"Failed to zip\" the cancel would show";
    EXPECT_TRUE(host.completions.empty());
    EXPECT_FALSE(std::filesystem::exists(sandbox / "out.ezc"));
    EXPECT_EQ(test::FolderContents(sandbox.TemporaryFolder()), test::Files{}) << "the intermediate archive is gone";
}

TEST(AbandonableJobHostTest, AnswersEveryQuestionAsCancelledOnceAbandoned) {
    test::ScriptedJobHost host;
    host.Expect("folder 125", "/chosen").Expect("message 127", "Yes");
    AbandonableJobHost abandonable(host);
    const MessageBoxRequest yesNoCancel{MessageId::CaptionQuestion, MessageButtons::YesNoCancel,
                                        MessageOwner::Progress, {MessageLine::Text(MessageId::UnzipOverwriteQuestion)}};

    EXPECT_EQ(abandonable.ChooseFolder(MessageId::ChooseFolderToUnzip), std::filesystem::path("/chosen"));
    abandonable.SetRange(5);
    EXPECT_FALSE(abandonable.CancelRequested());
    // The user closes the window while the question is up: its answer no longer counts.
    host.onMessage = [&] { abandonable.Abandon(); };
    EXPECT_EQ(abandonable.ShowMessage(yesNoCancel), MessageAnswer::Cancel);
    const std::vector<std::string> callsBefore = host.calls;

    MessageBoxRequest yesNo = yesNoCancel;
    yesNo.buttons = MessageButtons::YesNo;
    MessageBoxRequest ok = yesNoCancel;
    ok.buttons = MessageButtons::Ok;
    EXPECT_TRUE(abandonable.CancelRequested());
    EXPECT_EQ(abandonable.ChooseFileToOpen(FileFilter::Zip), std::nullopt);
    EXPECT_EQ(abandonable.ChooseFileToSave(FileFilter::Ezc, "x.ezc"), std::nullopt);
    EXPECT_EQ(abandonable.ChooseFolder(MessageId::ChooseFolderToUnzip), std::nullopt);
    EXPECT_EQ(abandonable.AskPassword("hint"), std::nullopt);
    EXPECT_EQ(abandonable.ShowMessage(yesNoCancel), MessageAnswer::Cancel);
    EXPECT_EQ(abandonable.ShowMessage(yesNo), MessageAnswer::No);
    EXPECT_EQ(abandonable.ShowMessage(ok), MessageAnswer::Ok);
    abandonable.ShowProgress();
    abandonable.SetProgressTitle(MessageId::UnzippingProgressTitle);
    abandonable.SetStatus(MessageLine::Text(MessageId::StartUnzipping));
    abandonable.SetCancelCaption(MessageId::Cancel);
    abandonable.SetPosition(1);
    abandonable.Complete(JobCompletion{});

    EXPECT_EQ(host.calls, callsBefore);
    EXPECT_EQ(callsBefore, (std::vector<std::string>{"folder 125", "range 5", "message 127"}));
}

}  // namespace
}  // namespace vaultpack
