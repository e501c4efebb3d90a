// The hand-over from a job's thread to the GUI thread, on real threads with
// the scripted host on the GUI side.

#include "ui/QtJobHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

#include <QCoreApplication>
#include <QEventLoop>

#include "jobs/JobRunner.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/ScriptedJobHost.h"
#include "tests/ui/UiTestSupport.h"

namespace vaultpack {
namespace {

using Strings = std::vector<std::string>;

// Nothing reaches the GUI side while its thread is busy; then everything
// arrives in the order it was told, the progress as its last snapshot only.
TEST(QtJobHostTest, TellsArriveInOrderWithPositionsCoalesced) {
    auto scripted = std::make_shared<test::ScriptedJobHost>();
    QtJobHost host(scripted);
    std::thread job([&] {
        host.ShowProgress();
        host.SetRange(1000);
        for (std::uint32_t position = 1; position <= 1000; ++position) {
            host.SetPosition(position);
            host.SetAmounts({position, 1000, 0});
        }
        host.SetProgressTitle(MessageId::UnzippingProgressTitle);
        host.SetPosition(1000);
        host.Complete(JobCompletion{});
    });
    job.join();  // the GUI thread processes nothing meanwhile
    EXPECT_TRUE(scripted->calls.empty());

    QCoreApplication::processEvents();
    // One update on its way carries the latest snapshot, also what was told
    // after the title; the completion comes after it.
    EXPECT_EQ(std::count_if(scripted->calls.begin(), scripted->calls.end(),
                            [](const std::string& call) { return call.starts_with("position"); }),
              1);
    Progress last;
    last.shown = true;
    last.title = MessageId::UnzippingProgressTitle;
    last.bar = 1;
    last.range = 1000;
    last.position = 1000;
    last.amounts = {1000, 1000, 0};
    EXPECT_EQ(scripted->progress, last);
    EXPECT_EQ(scripted->calls.back(), "complete");
    EXPECT_EQ(scripted->callingThreads, std::set{std::this_thread::get_id()});
}

// Positions come at most a few dozen times a second; one held back by that
// limit still arrives, before whatever the job tells next.
TEST(QtJobHostTest, APositionHeldBackArrivesBeforeTheNextCall) {
    auto scripted = std::make_shared<test::ScriptedJobHost>();
    // An interval no run reaches: the second position is held back for certain.
    // It is longer than any machine has been up, so the first position, which
    // always goes out, does not depend on when the steady clock started.
    QtJobHost host(scripted, std::chrono::hours(24 * 365 * 100));
    std::promise<void> firstShown;
    scripted->onPosition = [&](int count) {
        if (count == 1) {
            firstShown.set_value();
        }
    };
    QEventLoop loop;
    scripted->onComplete = [&] { loop.quit(); };
    std::thread job([&] {
        host.SetPosition(1);
        // The GUI thread has shown it: nothing is on its way.
        test::Await(firstShown.get_future(), "the first position to reach the GUI thread");
        host.SetPosition(5);             // within the limit: held back
        host.Complete(JobCompletion{});
    });
    test::RunUntilQuit(loop, "the job's completion");
    job.join();
    EXPECT_EQ(scripted->calls, (Strings{"position 1", "position 5", "complete"}));
}

// A whole unzip job: its questions are answered on the GUI thread while the
// job waits, and the completion comes there too.
TEST(QtJobHostTest, AJobAsksAndCompletesOnTheGuiThread) {
    test::JobSandbox sandbox;
    const std::filesystem::path archive = sandbox / "in.zip";
    test::WriteRawZip(archive, {{"a.txt", "alpha"}, {"b/c.txt", "gamma"}});
    auto scripted = std::make_shared<test::ScriptedJobHost>();
    scripted->Expect("open zip", archive.string()).Expect("folder 125", (sandbox / "out").string());

    QEventLoop loop;
    scripted->onComplete = [&] { loop.quit(); };
    StartJob(JobKind::Unzip, std::make_shared<QtJobHost>(scripted),
             [](JobHost& host) { return RunUnzipJob(FileJobParams(), host); });
    test::RunUntilQuit(loop, "the unzip job's completion");

    EXPECT_EQ(scripted->callingThreads, std::set{std::this_thread::get_id()});
    EXPECT_EQ(scripted->MessageIds(), std::vector<int>{128});
    ASSERT_EQ(scripted->completions.size(), 1u);
    EXPECT_EQ(scripted->completions[0].outcome, JobOutcome::Succeeded);
    EXPECT_EQ(test::ReadText(sandbox / "out/b/c.txt"), "gamma");
}

}  // namespace
}  // namespace vaultpack
