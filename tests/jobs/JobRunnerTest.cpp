// The job runner on real threads: exactly one completion whatever the job
// does, questions answered by another thread, and an abandon while a
// question is open, with the host kept alive until the job's thread ends.

#include "jobs/JobRunner.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <future>
#include <new>
#include <stdexcept>
#include <utility>

#include "crypto/EncryptFile.h"
#include "files/WorkerPool.h"
#include "jobs/AbandonableJobHost.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/ScriptedJobHost.h"

namespace vaultpack {
namespace {

using Path = std::filesystem::path;

// Answers every question on a thread of its own, as a GUI host answers on its
// GUI thread while the job waits; everything else goes to the scripted host.
class OtherThreadHost final : public JobHost {
public:
    explicit OtherThreadHost(test::ScriptedJobHost& answers) : JobHost(&answers), answers_(answers) {}

    Answer Ask(const Question& question) override {
        jobThread = std::this_thread::get_id();
        return std::async(std::launch::async, [&] {
                   answeringThread = std::this_thread::get_id();
                   return answers_.Ask(question);
               }).get();
    }
    void Report(const Progress& progress) override { answers_.Report(progress); }
    void Complete(const JobCompletion& completion) override { answers_.Complete(completion); }

    std::thread::id jobThread;
    std::thread::id answeringThread;

private:
    test::ScriptedJobHost& answers_;
};

// What escapes a job is told with its cause before the one completion.
TEST(JobRunnerTest, AJobThatThrowsStillCompletesOnceAsFailed) {
    const std::pair<std::function<void()>, std::string> escapes[] = {
        {[] { throw std::runtime_error("broken"); }, "An internal error occurred: broken"},
        {[] { throw std::bad_alloc(); }, "Out of memory"},
        {[] { throw ThreadStartError(EAGAIN); }, "Cannot start a thread: Resource temporarily unavailable"},
    };
    for (const auto& [escape, told] : escapes) {
        test::ScriptedJobHost host;
        StartJob(JobKind::Unzip, test::Unowned(host), [&escape](JobHost& jobHost) -> JobCompletion {
            jobHost.ShowProgress();
            escape();
            return {};
        }).Wait();
        EXPECT_TRUE(host.progress.shown);
        EXPECT_EQ(host.calls.back(), "complete");
        ASSERT_EQ(host.messageTexts.size(), 1u);
        EXPECT_EQ(host.messageTexts[0].substr(0, told.size()), told);
        ASSERT_EQ(host.completions.size(), 1u);
        EXPECT_EQ(host.completions[0].kind, JobKind::Unzip);
        EXPECT_EQ(host.completions[0].outcome, JobOutcome::Failed);
    }
}

TEST(JobRunnerTest, QuestionsAnsweredOnAnotherThreadDriveARealDecryption) {
    test::JobSandbox sandbox;
    const Path container = sandbox / "letter.ezc";
    ASSERT_TRUE(EncryptFile(sandbox.Write("letter.txt", "dear"), container, "pw", "usual", false).Completed());
    std::filesystem::remove(sandbox / "letter.txt");

    test::ScriptedJobHost answers;
    answers.Expect("open ezc", container.string()).Expect("password usual", "pw");
    auto host = std::make_shared<OtherThreadHost>(answers);
    StartJob(JobKind::Decrypt, host, [](JobHost& jobHost) { return RunDecryptJob(FileJobParams(), jobHost); }).Wait();

    EXPECT_NE(host->jobThread, std::this_thread::get_id());
    EXPECT_NE(host->answeringThread, host->jobThread);
    EXPECT_EQ(test::ReadText(sandbox / "letter.txt"), "dear");
    ASSERT_EQ(answers.completions.size(), 1u);
    EXPECT_EQ(answers.completions[0].outcome, JobOutcome::Succeeded);
}

// The starter abandons the job while its question is up and forgets the job
// at once, as a closing window does; the job still has its host, winds down,
// and nothing more (not even the completion) reaches the user.
TEST(JobRunnerTest, AbandonWhileAQuestionIsOpen) {
    test::JobSandbox sandbox;
    const Path archive = sandbox / "in.zip";
    test::WriteRawZip(archive, {{"a.txt", "new"}});
    sandbox.Write("out/a.txt", "old");

    std::promise<void> questionUp, abandoned, hostGone;
    std::shared_ptr<test::ScriptedJobHost> scripted(new test::ScriptedJobHost, [&](test::ScriptedJobHost* host) {
        delete host;
        hostGone.set_value();
    });
    scripted->Expect("message 127", "Yes");
    scripted->onMessage = [&] {
        questionUp.set_value();
        test::Await(abandoned.get_future(), "the test to abandon the job");
    };
    {
        auto abandonable = std::make_shared<AbandonableJobHost>(scripted);
        const FileJobParams params{{archive}, {sandbox / "out"}, false};
        StartJob(JobKind::Unzip, abandonable, [params](JobHost& host) { return RunUnzipJob(params, host); });
        test::Await(questionUp.get_future(), "the job's question");
        abandonable->Abandon();
        scripted.reset();
    }
    abandoned.set_value();
    // The job's thread let go of the host: it has ended.
    test::Await(hostGone.get_future(), "the job's thread to let go of its host");

    EXPECT_EQ(test::ReadText(sandbox / "out/a.txt"), "old") << "the Yes came after the abandon and does not count";
}

}  // namespace
}  // namespace vaultpack
