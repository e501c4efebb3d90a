// The create-archive job driven by a scripted host: every combination read
// back, the failures, cancellation at each point, and what it leaves behind.

#include <gtest/gtest.h>

#include <functional>

#include "crypto/DecryptFile.h"
#include "crypto/EncryptedFileReaders.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/jobs/ScriptedJobHost.h"

namespace vaultpack {
namespace {

using test::PrintTo;

using test::ArchiveContents;
using test::Files;
using test::FolderContents;
using test::ReadText;

constexpr char kPassword[] = "s3cret!";

class CreateArchiveJobTest : public testing::Test {
public:
    CreateArchiveJobTest() {
        const std::vector<unsigned char> bytes = test::PseudoRandomBytes(300 * 1024, 7);  // three 100 KiB chunks
        gamma = std::string(bytes.begin(), bytes.end());
        sandbox.Write("in/alpha.txt", "alpha");
        sandbox.Write("in/docs/beta.md", "beta");
        sandbox.Write("in/docs/sub/gamma.bin", gamma);
        std::filesystem::create_directory(sandbox / "out");
    }

    // Three rows as Add Files and Add Folders make them, or the large file alone.
    CreateArchiveParams Params(int items, bool zip, bool encrypt, int order = 1) const {
        CreateArchiveParams params;
        params.items = {test::ItemFor(sandbox / "in/docs/sub/gamma.bin", items > 1 ? "docs\\sub\\" : "")};
        if (items > 1) {
            params.items.insert(params.items.begin(), {test::ItemFor(sandbox / "in/alpha.txt"),
                                                       test::ItemFor(sandbox / "in/docs/beta.md", "docs\\")});
        }
        params.multipleItems = items > 1;
        params.zipEnabled = zip;
        params.encryptEnabled = encrypt;
        params.order = order;
        params.password = encrypt ? kPassword : "";
        params.hint = "the usual";
        return params;
    }

    Files ListContents() const {
        return {{"alpha.txt", "alpha"}, {"docs", "<folder>"}, {"docs/beta.md", "beta"},
                {"docs/sub", "<folder>"}, {"docs/sub/gamma.bin", gamma}};
    }

    // Decrypts a container beside itself and returns what came out.
    static std::filesystem::path DecryptBack(const std::filesystem::path& container) {
        const FileOperationResult result = DecryptFile(container, kPassword);
        EXPECT_TRUE(result.Completed()) << result.detail;
        return result.outputPath;
    }

    test::JobSandbox sandbox;
    test::ScriptedJobHost host;
    std::string gamma;
};

struct CombinationRow {
    const char* name;
    int items;
    bool zip;
    bool encrypt;
    int order;
    const char* saveQuestion;  // the filter and the default name offered
    std::function<void(const CreateArchiveJobTest&, const std::filesystem::path&)> check;
};

class CreateCombinationTest : public CreateArchiveJobTest, public testing::WithParamInterface<CombinationRow> {};

TEST_P(CreateCombinationTest, WritesAnOutputThatReadsBack) {
    const CombinationRow& row = GetParam();
    const std::filesystem::path output = sandbox / "out/result";
    host.Expect(row.saveQuestion, output.string());

    EXPECT_EQ(RunCreateArchiveJob(Params(row.items, row.zip, row.encrypt, row.order), host), JobOutcome::Succeeded);

    EXPECT_EQ(std::vector<std::string>(host.calls.begin(), host.calls.begin() + 4),
              (std::vector<std::string>{row.saveQuestion, "show", "title 182", "cancel-caption 170"}));
    EXPECT_EQ(host.MessageIds(), std::vector<int>{113});
    EXPECT_EQ(host.calls.back(), "complete");
    EXPECT_FALSE(host.completions.at(0).saveDialogCancelled);
    EXPECT_EQ(FolderContents(sandbox / "out").size(), 1u);
    EXPECT_EQ(FolderContents(sandbox.TemporaryFolder()), Files{});
    row.check(*this, output);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CreateCombinationTest,
    testing::Values(
        CombinationRow{"SeveralZipped", 3, true, false, 1, "save zip ",
                       [](const auto& test, const auto& output) {
                           EXPECT_EQ(ArchiveContents(output), test.ListContents());
                       }},
        CombinationRow{"SeveralZippedThenEncrypted", 3, true, true, 0, "save ezc ",
                       [](const auto& test, const auto& output) {
                           EXPECT_EQ(ReadStoredName(output), "result.zip");
                           EXPECT_NE(ReadZipFlag(output), 0);
                           EXPECT_EQ(ReadHint(output), "the usual");
                           EXPECT_EQ(ArchiveContents(test.DecryptBack(output)), test.ListContents());
                       }},
        CombinationRow{"OneZipped", 1, true, false, 1, "save zip gamma.zip",
                       [](const auto& test, const auto& output) {
                           EXPECT_EQ(ArchiveContents(output), (Files{{"gamma.bin", test.gamma}}));
                       }},
        CombinationRow{"OneEncrypted", 1, false, true, 1, "save ezc gamma.ezc",
                       [](const auto& test, const auto& output) {
                           EXPECT_EQ(ReadStoredName(output), "gamma.bin");
                           EXPECT_EQ(ReadText(test.DecryptBack(output)), test.gamma);
                       }},
        CombinationRow{"OneZippedThenEncrypted", 1, true, true, 1, "save ezc gamma.ezc",
                       [](const auto& test, const auto& output) {
                           EXPECT_EQ(ReadStoredName(output), "gamma.zip");
                           EXPECT_EQ(ReadZipFlag(output), 0) << "decrypting gives back the archive as a file";
                           EXPECT_EQ(ArchiveContents(test.DecryptBack(output)), (Files{{"gamma.bin", test.gamma}}));
                       }},
        CombinationRow{"OneEncryptedThenZipped", 1, true, true, 0, "save zip gamma.zip",
                       [](const auto& test, const auto& output) {
                           const Files files = ArchiveContents(output);
                           ASSERT_EQ(files.size(), 1u);
                           ASSERT_EQ(files.begin()->first, "gamma.ezc");
                           const auto container = test.sandbox.Write("copy/gamma.ezc", files.begin()->second);
                           EXPECT_EQ(ReadText(test.DecryptBack(container)), test.gamma);
                       }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CreateArchiveJobTest, ShowsEachItemAndMovesTheBar) {
    host.Expect("save zip", (sandbox / "out/all.zip").string());
    RunCreateArchiveJob(Params(3, true, false), host);

    std::vector<std::string> statuses;
    for (const MessageLine& status : host.statuses) {
        statuses.push_back(test::EnglishText(status));
    }
    // The sandbox's paths are all longer than 30 characters.
    const auto zipping = [](const std::filesystem::path& path) {
        return "Zipping \"..." + path.string().substr(path.string().size() - 30) + "\"";
    };
    EXPECT_EQ(statuses, (std::vector<std::string>{zipping(sandbox / "in/alpha.txt"), zipping(sandbox / "in/docs/beta.md"),
                                                  zipping(sandbox / "in/docs/sub/gamma.bin")}));
    EXPECT_EQ(host.CallsStartingWith("range"), std::vector<std::string>{"range 3"});
    EXPECT_EQ(host.CallsStartingWith("position"),
              (std::vector<std::string>{"position 0", "position 0", "position 1", "position 2", "position 3"}));
}

TEST_F(CreateArchiveJobTest, NothingToDo) {
    host.Expect("save ezc gamma.ezc", std::nullopt);
    EXPECT_EQ(RunCreateArchiveJob(Params(1, false, true), host), JobOutcome::NothingDone);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"save ezc gamma.ezc", "complete"}));
    EXPECT_TRUE(host.completions.at(0).saveDialogCancelled);

    test::ScriptedJobHost emptyList;
    EXPECT_EQ(RunCreateArchiveJob(CreateArchiveParams(), emptyList), JobOutcome::NothingDone);
    EXPECT_EQ(emptyList.calls, (std::vector<std::string>{"message 118", "complete"}));
    EXPECT_TRUE(emptyList.completions.at(0).saveDialogCancelled);
}

// A job that does not get done leaves the existing output file as it was.
struct UnfinishedRow {
    const char* name;
    int items;
    bool zip;
    bool encrypt;
    int order;
    bool missingItem;      // the last item's file does not exist
    int cancelAtPosition;  // -1: never
    const char* continueAnswer;
    std::vector<int> messageIds;
    JobOutcome outcome;
};

class CreateUnfinishedTest : public CreateArchiveJobTest, public testing::WithParamInterface<UnfinishedRow> {};

TEST_P(CreateUnfinishedTest, ReportsAndKeepsTheOldOutput) {
    const UnfinishedRow& row = GetParam();
    CreateArchiveParams params = Params(row.items, row.zip, row.encrypt, row.order);
    if (row.missingItem) {
        params.items.back().sourcePath = sandbox / "in/missing.txt";
    }
    sandbox.Write("out/existing", "old");
    host.Expect("save", (sandbox / "out/existing").string());
    if (row.continueAnswer != nullptr) {
        host.Expect("message 111", row.continueAnswer);
    }
    host.CancelAtPosition(row.cancelAtPosition);

    EXPECT_EQ(RunCreateArchiveJob(params, host), row.outcome);

    EXPECT_EQ(host.MessageIds(), row.messageIds);
    if (!host.messages.empty() && (host.MessageIds().back() == 129 || host.MessageIds().back() == 130)) {
        EXPECT_EQ(host.messages.back().owner, MessageOwner::None);
    }
    EXPECT_EQ(host.completions.size(), 1u);
    EXPECT_EQ(FolderContents(sandbox / "out"), (Files{{"existing", "old"}}));
    EXPECT_EQ(FolderContents(sandbox.TemporaryFolder()), Files{});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CreateUnfinishedTest,
    testing::Values(
        UnfinishedRow{"SeveralStoppedAtFailedItem", 3, true, false, 1, true, -1, "No", {111}, JobOutcome::Failed},
        UnfinishedRow{"SeveralEncryptedStoppedAtFailedItem", 3, true, true, 1, true, -1, "No", {111, 130},
                      JobOutcome::Failed},
        UnfinishedRow{"OneZippedMissing", 1, true, false, 1, true, -1, nullptr, {0}, JobOutcome::Failed},
        UnfinishedRow{"OneEncryptedMissing", 1, false, true, 1, true, -1, nullptr, {129}, JobOutcome::Failed},
        UnfinishedRow{"OneZipFirstMissing", 1, true, true, 1, true, -1, nullptr, {0, 130}, JobOutcome::Failed},
        UnfinishedRow{"OneEncryptFirstMissing", 1, true, true, 0, true, -1, nullptr, {129}, JobOutcome::Failed},
        // Positions: the list sets 0, then one per item; encryption one per 100 KiB chunk.
        UnfinishedRow{"SeveralCancelledBeforeFirstItem", 3, true, false, 1, false, 1, nullptr, {},
                      JobOutcome::Cancelled},
        UnfinishedRow{"SeveralCancelledAtSecondItem", 3, true, false, 1, false, 3, nullptr, {},
                      JobOutcome::Cancelled},
        UnfinishedRow{"SeveralEncryptedCancelledWhileZipping", 3, true, true, 1, false, 2, nullptr, {130},
                      JobOutcome::Cancelled},
        UnfinishedRow{"SeveralEncryptedCancelledWhileEncrypting", 3, true, true, 1, false, 6, nullptr, {129},
                      JobOutcome::Cancelled},
        UnfinishedRow{"OneEncryptedCancelled", 1, false, true, 1, false, 1, nullptr, {}, JobOutcome::Cancelled},
        UnfinishedRow{"OneZipFirstCancelledWhileEncrypting", 1, true, true, 1, false, 3, nullptr, {129},
                      JobOutcome::Cancelled},
        UnfinishedRow{"OneEncryptFirstCancelled", 1, true, true, 0, false, 2, nullptr, {129},
                      JobOutcome::Cancelled}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CreateArchiveJobTest, FailedItemLeftOutWhenTheUserGoesOn) {
    CreateArchiveParams params = Params(3, true, false);
    params.items[1].sourcePath = sandbox / "in/missing.md";
    host.Expect("save", (sandbox / "out/all.zip").string()).Expect("message 111", "Yes");

    EXPECT_EQ(RunCreateArchiveJob(params, host), JobOutcome::Failed);

    EXPECT_EQ(host.MessageIds(), (std::vector<int>{111, 113}));
    EXPECT_EQ(test::EnglishText(host.messages[0]),
              "Couldn't create/open file\n" + (sandbox / "in/missing.md").string() + "\nContinue with next file?");
    Files expected = ListContents();
    expected.erase("docs/beta.md");
    EXPECT_EQ(ArchiveContents(sandbox / "out/all.zip"), expected);
}

TEST_F(CreateArchiveJobTest, OutputMayReplaceItsOwnSource) {
    const std::filesystem::path source = sandbox / "in/docs/sub/gamma.bin";
    host.Expect("save", source.string());
    EXPECT_EQ(RunCreateArchiveJob(Params(1, true, false), host), JobOutcome::Succeeded);
    EXPECT_EQ(ArchiveContents(source), (Files{{"gamma.bin", gamma}}));
}

TEST_F(CreateArchiveJobTest, OutputInAMissingFolderFails) {
    for (const bool encrypt : {false, true}) {
        test::ScriptedJobHost failing;
        failing.Expect("save", (sandbox / "nowhere/result").string());
        EXPECT_EQ(RunCreateArchiveJob(Params(1, !encrypt, encrypt), failing), JobOutcome::Failed);
        EXPECT_EQ(failing.MessageIds(), std::vector<int>{encrypt ? 129 : 110});
    }
}

}  // namespace
}  // namespace vaultpack
