// The decrypt job driven by a scripted host: the password loop, the failures,
// the overwrite question (a replaced file survives cancel and failure), and
// when an unzip follows.

#include <gtest/gtest.h>

#include <functional>
#include <string_view>

#include "crypto/EncryptFile.h"
#include "jobs/FollowOnUnzip.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/support/ScriptedJobHost.h"

namespace vaultpack {
namespace {

using test::PrintTo;
using test::RunJob;
using test::ReadText;
using Path = std::filesystem::path;

constexpr char kPassword[] = "pw-0123";

class DecryptJobTest : public testing::Test {
public:
    DecryptJobTest() {
        EXPECT_TRUE(EncryptFile(sandbox.Write("box/secret.txt", plaintext), container, kPassword, "the hint", false)
                        .Completed());
        std::filesystem::remove(target);
    }

    // A copy of the container cut short in its first chunk.
    Path TruncatedCopy() const { return sandbox.Write("box/damaged.ezc", ReadText(container).substr(0, 348 + 1000)); }

    test::JobSandbox sandbox;
    test::ScriptedJobHost host;
    const std::string plaintext = test::RandomText(250 * 1024, 3);  // three chunks
    const Path container = sandbox / "box/secret.ezc";
    const Path target = sandbox / "box/secret.txt";
};

TEST_F(DecryptJobTest, AsksForContainerAndPasswordAndRestoresTheFileBesideIt) {
    host.Expect("open ezc", container.string()).Expect("password the hint", kPassword);
    EXPECT_EQ(RunJob(RunDecryptJob, FileJobParams(), host), JobOutcome::Succeeded);

    EXPECT_EQ(ReadText(target), plaintext);
    EXPECT_TRUE(host.progress.shown);
    EXPECT_EQ(host.progress.title, MessageId::DecryptingProgressTitle);
    EXPECT_EQ(host.progress.cancelCaption, MessageId::Cancel);
    EXPECT_EQ(host.progress.position, host.progress.range) << "the bar ends full";
    EXPECT_EQ(host.statuses, std::vector<std::string>{"Decrypting \"" + container.string() + "\""});
    EXPECT_EQ(host.MessageIds(), std::vector<int>{static_cast<int>(MessageId::FileDecrypted)});

    test::ScriptedJobHost noContainer;
    noContainer.Expect("open ezc", std::nullopt);
    EXPECT_EQ(RunJob(RunDecryptJob, FileJobParams(), noContainer), JobOutcome::NothingDone);
    EXPECT_FALSE(noContainer.progress.shown);
    EXPECT_TRUE(noContainer.messages.empty());
}

// Every way the job ends. Only a complete decryption changes the container's
// folder: an existing file the user agreed to replace survives cancel and
// failure, and nothing half-written stays.
struct EndRow {
    const char* name;
    std::function<Path(const DecryptJobTest&)> container;
    std::vector<std::optional<std::string>> passwords;
    const char* overwriteAnswer;  // to message 122 about an existing target; nullptr: there is none
    int cancelAtPosition;         // -1: never
    std::vector<int> messageIds;
    JobOutcome outcome;
    bool reportsContainer;  // the decryption ran to its end
};

class DecryptEndTest : public DecryptJobTest, public testing::WithParamInterface<EndRow> {};

TEST_P(DecryptEndTest, ReportsAndChangesOnlyWhatACompleteDecryptionMay) {
    const EndRow& row = GetParam();
    const Path file = row.container(*this);
    for (const auto& password : row.passwords) {
        host.Expect("password", password);
    }
    if (row.overwriteAnswer != nullptr) {
        test::WriteFile(target, "old");
        host.Expect("message 122", row.overwriteAnswer);
    }
    host.CancelAtPosition(row.cancelAtPosition);
    test::Files expected = test::FolderContents(sandbox / "box");

    EXPECT_EQ(RunJob(RunDecryptJob, {{file}, {}, false}, host), row.outcome);

    EXPECT_EQ(host.MessageIds(), row.messageIds);
    if (row.overwriteAnswer != nullptr) {
        EXPECT_EQ(host.messageTexts.at(0),
                  "Decryption's destionation file\n \"" + target.string() + "\"\n already exists, overwrite it?");
    } else if (!host.messages.empty() && host.MessageIds()[0] == 119) {
        EXPECT_EQ(host.messages[0].owner, MessageOwner::MainWindow);
    }
    EXPECT_EQ(host.completions.at(0).decryptedContainer, row.reportsContainer ? file : Path());
    EXPECT_EQ(host.completions.at(0).decryptionCompleted, row.outcome == JobOutcome::Succeeded);
    // Yes to All stands for the unpacking that may follow.
    EXPECT_EQ(host.completions.at(0).replaceAll,
              row.overwriteAnswer != nullptr && std::string_view(row.overwriteAnswer) == "YesToAll" ? std::optional(true)
                                                                                                 : std::nullopt);
    if (row.outcome == JobOutcome::Succeeded) {
        expected["secret.txt"] = plaintext;
    }
    EXPECT_EQ(test::FolderContents(sandbox / "box"), expected);
}

using enum JobOutcome;
const auto kContainer = [](const DecryptJobTest& test) { return test.container; };
const auto kTruncated = [](const DecryptJobTest& test) { return test.TruncatedCopy(); };

INSTANTIATE_TEST_SUITE_P(
    Rows, DecryptEndTest,
    testing::Values(
        EndRow{"NotAContainer", [](const auto& test) { return test.sandbox.Write("box/plain.ezc", "text"); }, {},
               nullptr, -1, {151}, Failed, false},
        EndRow{"ShorterThanItsHeader",
               [](const auto& test) { return test.sandbox.Write("box/short.ezc", "EZC\x02" + std::string(96, 'x')); },
               {}, nullptr, -1, {121}, Failed, false},
        EndRow{"MissingFile", [](const auto& test) { return test.sandbox / "box/gone.ezc"; }, {}, nullptr, -1, {121},
               Failed, false},
        EndRow{"PasswordDialogCancelled", kContainer, {std::nullopt}, nullptr, -1, {}, NothingDone, false},
        EndRow{"WrongPasswordThenCancel", kContainer, {"wrong", std::nullopt}, nullptr, -1, {119}, WrongPassword,
               false},
        EndRow{"WrongPasswordsThenRight", kContainer, {"wrong", "", kPassword}, nullptr, -1, {119, 119, 120},
               Succeeded, true},
        EndRow{"Truncated", kTruncated, {kPassword}, nullptr, -1, {121}, Failed, true},
        EndRow{"OverwriteDeclined", kContainer, {kPassword}, "No", -1, {122}, NothingDone, false},
        EndRow{"OverwriteAccepted", kContainer, {kPassword}, "Yes", -1, {122, 120}, Succeeded, true},
        EndRow{"OverwriteAcceptedForAll", kContainer, {kPassword}, "YesToAll", -1, {122, 120}, Succeeded, true},
        EndRow{"OverwriteAcceptedThenCancelled", kContainer, {kPassword}, "Yes", 1, {122}, Cancelled, false},
        EndRow{"OverwriteAcceptedThenFailed", kTruncated, {kPassword}, "Yes", -1, {122, 121}, Failed, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The job reads the container once and decrypts the file it read: one put
// in its place while the user answers is neither decrypted nor trusted for
// which file may be replaced.
TEST_F(DecryptJobTest, AContainerPutInItsPlaceWhileAskingIsNotDecrypted) {
    test::WriteFile(target, "old");
    const Path other = sandbox.Write("box/other.txt", "mine");
    const Path intruder = sandbox / "elsewhere/other.ezc";
    ASSERT_TRUE(
        EncryptFile(sandbox.Write("elsewhere/other.txt", "intruder"), intruder, kPassword, "", false).Completed());
    host.Expect("password", kPassword).Expect("message 122", "Yes");
    host.onMessage = [&] {
        if (std::filesystem::exists(intruder)) {
            std::filesystem::rename(intruder, container);
        }
    };

    EXPECT_EQ(RunJob(RunDecryptJob, {{container}, {}, false}, host), JobOutcome::Succeeded);
    EXPECT_TRUE(ReadText(target) == plaintext) << "the plaintext of the container that was read";
    EXPECT_EQ(ReadText(other), "mine");
}

// What the starter of the job does next: an unzip follows only the completed
// decryption of an archive, and is started only when none runs already. It
// takes the file that was decrypted, not what the container names now.
TEST_F(DecryptJobTest, FollowOnUnzip) {
    const Path bundle = sandbox / "box/bundle.ezc";
    const Path archive = sandbox / "box/bundle.zip";
    ASSERT_TRUE(EncryptFile(sandbox.Write("elsewhere/other.zip", "zip"), bundle, "pw", "", true).Completed());
    const auto decrypted = [](const Path& container, const Path& archive, bool completed = true) {
        return JobCompletion{JobKind::Decrypt, JobOutcome::Succeeded, container, completed, true, archive};
    };
    struct Row {
        const char* name;
        JobCompletion completion;
        bool unzipRunning;
        bool unzipFollows;
        bool startsUnzip;
    };
    for (const Row& row : {Row{"ArchiveStartsUnzip", decrypted(bundle, archive), false, true, true},
                           Row{"UnzipRunningAlready", decrypted(bundle, archive), true, true, false},
                           Row{"PlainFile", decrypted(container, {}), false, false, false},
                           Row{"DecryptionFailed", decrypted(bundle, archive, false), false, false, false},
                           Row{"NothingDecrypted", decrypted({}, {}, false), false, false, false}}) {
        const DecryptFollowOn followOn = DecideDecryptFollowOn(row.completion, row.unzipRunning);
        EXPECT_EQ(followOn.unzipFollows, row.unzipFollows) << row.name;
        EXPECT_EQ(followOn.startUnzip.has_value(), row.startsUnzip) << row.name;
        if (followOn.startUnzip) {
            EXPECT_EQ(followOn.startUnzip->sourceFiles, std::vector<Path>{archive}) << row.name;
            EXPECT_EQ(followOn.startUnzip->replaceAll, std::optional(true)) << "Yes to All carries on";
        }
        EXPECT_EQ(followOn.QuitWhenDecryptingAtStart(), !row.unzipFollows) << row.name;
    }
}

}  // namespace
}  // namespace vaultpack
