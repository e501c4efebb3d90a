// The create-archive job driven by a scripted host: every combination checked
// by reading its output back, the failures, cancellation at each point, and
// what it leaves behind.

#include <gtest/gtest.h>

#include <ostream>

#include <functional>

#include "crypto/DecryptFile.h"
#include "crypto/EncryptedFileReaders.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/jobs/ScriptedJobHost.h"

namespace vaultpack {
namespace {

using test::ArchiveContents;
using test::ReadText;
using test::TreeOf;
using Contents = std::map<std::string, std::string>;

constexpr char kPassword[] = "s3cret!";

class CreateArchiveJobTest : public testing::Test {
public:
    CreateArchiveJobTest() {
        const std::vector<unsigned char> bytes = test::PseudoRandomBytes(300 * 1024, 7);
        sandbox.Write("in/alpha.txt", "alpha text");
        sandbox.Write("in/docs/beta.md", "# beta");
        sandbox.Write("in/docs/sub/gamma.bin", std::string(bytes.begin(), bytes.end()));
        std::filesystem::create_directory(sandbox / "out");
    }

    // Three rows as Add Files and Add Folders make them, or the one large file.
    CreateArchiveParams Params(int items, bool zip, bool encrypt, int order = 1) const {
        CreateArchiveParams params;
        if (items == 1) {
            params.items = {test::ItemFor(Gamma())};
        } else {
            params.items = {test::ItemFor(sandbox / "in/alpha.txt"), test::ItemFor(sandbox / "in/docs/beta.md", "docs\\"),
                            test::ItemFor(Gamma(), "docs\\sub\\")};
        }
        params.multipleItems = items > 1;
        params.zipEnabled = zip;
        params.encryptEnabled = encrypt;
        params.order = order;
        params.password = encrypt ? kPassword : "";
        params.hint = "the usual";
        return params;
    }

    std::filesystem::path Gamma() const { return sandbox / "in/docs/sub/gamma.bin"; }
    std::string GammaText() const { return ReadText(Gamma()); }
    Contents ListContents() const {
        return {{"alpha.txt", "alpha text"}, {"docs/beta.md", "# beta"}, {"docs/sub/gamma.bin", GammaText()}};
    }

    // Decrypts a container into the output folder and returns what it wrote.
    std::filesystem::path DecryptBack(const std::filesystem::path& container) const {
        const FileOperationResult result = DecryptFile(container, kPassword);
        EXPECT_TRUE(result.Completed()) << result.detail;
        return result.outputPath;
    }

    void ExpectNoTemporaryFiles() const {
        EXPECT_EQ(TreeOf(sandbox.TemporaryFolder()), std::vector<std::string>{});
    }

    test::JobSandbox sandbox;
    test::ScriptedJobHost host;
};

struct CombinationRow {
    const char* name;
    int items;
    bool zip;
    bool encrypt;
    int order;
    const char* saveCall;
    const char* output;
    std::function<void(const CreateArchiveJobTest&, const std::filesystem::path&)> check;
};

void PrintTo(const CombinationRow& row, std::ostream* out) {
    *out << row.name;
}

class CreateCombinationTest : public CreateArchiveJobTest, public testing::WithParamInterface<CombinationRow> {};

TEST_P(CreateCombinationTest, WritesAnOutputThatReadsBack) {
    const CombinationRow& row = GetParam();
    const std::filesystem::path output = sandbox / "out" / row.output;
    host.SaveFile(output);

    EXPECT_EQ(RunCreateArchiveJob(Params(row.items, row.zip, row.encrypt, row.order), host), JobOutcome::Succeeded);

    EXPECT_EQ(std::vector<std::string>(host.calls.begin(), host.calls.begin() + 4),
              (std::vector<std::string>{row.saveCall, "show", "title 182", "cancel-caption 170"}));
    EXPECT_EQ(host.MessageIds(), std::vector<int>{113});
    ASSERT_EQ(host.completions.size(), 1u);
    EXPECT_FALSE(host.completions[0].saveDialogCancelled);
    EXPECT_EQ(host.calls.back(), "complete");
    EXPECT_EQ(TreeOf(sandbox / "out"), std::vector<std::string>{row.output});
    ExpectNoTemporaryFiles();
    row.check(*this, output);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CreateCombinationTest,
    testing::Values(
        CombinationRow{"SeveralZipped", 3, true, false, 1, "save zip ", "all.zip",
                       [](const auto& test, const auto& output) {
                           EXPECT_EQ(ArchiveContents(output), test.ListContents());
                       }},
        CombinationRow{"SeveralZippedThenEncrypted", 3, true, true, 0, "save ezc ", "all.ezc",
                       [](const auto& test, const auto& output) {
                           EXPECT_EQ(ReadStoredName(output), "all.zip");
                           EXPECT_NE(ReadZipFlag(output), 0);
                           EXPECT_EQ(ReadHint(output), "the usual");
                           EXPECT_EQ(ArchiveContents(test.DecryptBack(output)), test.ListContents());
                       }},
        CombinationRow{"OneZipped", 1, true, false, 1, "save zip gamma.zip", "gamma.zip",
                       [](const auto& test, const auto& output) {
                           EXPECT_EQ(ArchiveContents(output), (Contents{{"gamma.bin", test.GammaText()}}));
                       }},
        CombinationRow{"OneEncrypted", 1, false, true, 1, "save ezc gamma.ezc", "gamma.ezc",
                       [](const auto& test, const auto& output) {
                           EXPECT_EQ(ReadStoredName(output), "gamma.bin");
                           EXPECT_EQ(ReadText(test.DecryptBack(output)), test.GammaText());
                       }},
        CombinationRow{"OneZippedThenEncrypted", 1, true, true, 1, "save ezc gamma.ezc", "gamma.ezc",
                       [](const auto& test, const auto& output) {
                           // The archive comes back as a file: the zip flag is clear.
                           EXPECT_EQ(ReadStoredName(output), "gamma.zip");
                           EXPECT_EQ(ReadZipFlag(output), 0);
                           EXPECT_EQ(ArchiveContents(test.DecryptBack(output)),
                                     (Contents{{"gamma.bin", test.GammaText()}}));
                       }},
        CombinationRow{"OneEncryptedThenZipped", 1, true, true, 0, "save zip gamma.zip", "gamma.zip",
                       [](const auto& test, const auto& output) {
                           const Contents contents = ArchiveContents(output);
                           ASSERT_EQ(contents.size(), 1u);
                           ASSERT_EQ(contents.begin()->first, "gamma.ezc");
                           const std::filesystem::path container = output.parent_path() / "copy.ezc";
                           test::WriteFile(container, contents.begin()->second);
                           EXPECT_EQ(ReadText(test.DecryptBack(container)), test.GammaText());
                       }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CreateArchiveJobTest, ShowsEachItemAndMovesTheBar) {
    host.SaveFile(sandbox / "out/all.zip");
    RunCreateArchiveJob(Params(3, true, false), host);

    // The sandbox's paths are always longer than 30 characters.
    const auto zipping = [](const std::filesystem::path& path) {
        const std::string text = path.string();
        return "Zipping \"..." + text.substr(text.size() - 30) + "\"";
    };
    std::vector<std::string> statuses;
    for (const MessageLine& status : host.statuses) {
        statuses.push_back(test::EnglishText(status));
    }
    EXPECT_EQ(statuses, (std::vector<std::string>{zipping(sandbox / "in/alpha.txt"), zipping(sandbox / "in/docs/beta.md"),
                                                  zipping(Gamma())}));
    EXPECT_EQ(host.CallsStartingWith("range"), std::vector<std::string>{"range 3"});
    EXPECT_EQ(host.CallsStartingWith("position"),
              (std::vector<std::string>{"position 0", "position 0", "position 1", "position 2", "position 3"}));
}

TEST_F(CreateArchiveJobTest, CancelledSaveDialogDoesNothing) {
    host.SaveFile(std::nullopt);
    EXPECT_EQ(RunCreateArchiveJob(Params(1, false, true), host), JobOutcome::NothingDone);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"save ezc gamma.ezc", "complete"}));
    EXPECT_TRUE(host.completions.at(0).saveDialogCancelled);
}

TEST_F(CreateArchiveJobTest, EmptyListAsksNothing) {
    CreateArchiveParams params;
    params.zipEnabled = true;
    EXPECT_EQ(RunCreateArchiveJob(params, host), JobOutcome::NothingDone);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"message 118", "complete"}));
    EXPECT_TRUE(host.completions.at(0).saveDialogCancelled);
}

// A job that does not get done leaves the existing output file as it was.
struct UnfinishedRow {
    const char* name;
    int items;
    bool zip;
    bool encrypt;
    int order;
    bool missingItem;  // the last item's file does not exist
    int cancelAtPosition;
    std::vector<std::pair<MessageId, MessageAnswer>> answers;
    std::vector<int> messageIds;
    JobOutcome outcome;
};

void PrintTo(const UnfinishedRow& row, std::ostream* out) {
    *out << row.name;
}

class CreateUnfinishedTest : public CreateArchiveJobTest, public testing::WithParamInterface<UnfinishedRow> {};

TEST_P(CreateUnfinishedTest, ReportsAndKeepsTheOldOutput) {
    const UnfinishedRow& row = GetParam();
    CreateArchiveParams params = Params(row.items, row.zip, row.encrypt, row.order);
    if (row.missingItem) {
        params.items.back().sourcePath = sandbox / "in/missing.txt";
    }
    const std::filesystem::path output = sandbox / "out/existing";
    test::WriteFile(output, "old");
    host.SaveFile(output);
    for (const auto& [question, answer] : row.answers) {
        host.Answer(question, answer);
    }
    host.CancelAtPosition(row.cancelAtPosition);

    EXPECT_EQ(RunCreateArchiveJob(params, host), row.outcome);

    EXPECT_EQ(host.MessageIds(), row.messageIds);
    const int last = host.MessageIds().empty() ? 0 : host.MessageIds().back();
    if (last == 129 || last == 130) {
        EXPECT_EQ(host.messages.back().owner, MessageOwner::None);
        EXPECT_EQ(host.messages.back().caption, MessageId::CaptionError);
    }
    ASSERT_EQ(host.completions.size(), 1u);
    EXPECT_FALSE(host.completions[0].saveDialogCancelled);
    EXPECT_EQ(ReadText(output), "old");
    EXPECT_EQ(TreeOf(sandbox / "out"), std::vector<std::string>{"existing"});
    ExpectNoTemporaryFiles();
}

constexpr auto Yes = MessageAnswer::Yes;
constexpr auto No = MessageAnswer::No;
constexpr auto Continue = MessageId::ContinueWithNextFile;

INSTANTIATE_TEST_SUITE_P(
    Rows, CreateUnfinishedTest,
    testing::Values(
        UnfinishedRow{"SeveralStoppedAtFailedItem", 3, true, false, 1, true, -1, {{Continue, No}}, {111},
                      JobOutcome::Failed},
        UnfinishedRow{"SeveralEncryptedStoppedAtFailedItem", 3, true, true, 1, true, -1, {{Continue, No}}, {111, 130},
                      JobOutcome::Failed},
        UnfinishedRow{"OneZippedMissing", 1, true, false, 1, true, -1, {}, {0}, JobOutcome::Failed},
        UnfinishedRow{"OneEncryptedMissing", 1, false, true, 1, true, -1, {}, {129}, JobOutcome::Failed},
        UnfinishedRow{"OneZipFirstMissing", 1, true, true, 1, true, -1, {}, {0, 130}, JobOutcome::Failed},
        UnfinishedRow{"OneEncryptFirstMissing", 1, true, true, 0, true, -1, {}, {129}, JobOutcome::Failed},
        // Positions: the list sets 0, then one per item; encryption one per 100 KiB chunk.
        UnfinishedRow{"SeveralCancelledBeforeFirstItem", 3, true, false, 1, false, 1, {}, {}, JobOutcome::Cancelled},
        UnfinishedRow{"SeveralCancelledAtSecondItem", 3, true, false, 1, false, 3, {}, {}, JobOutcome::Cancelled},
        UnfinishedRow{"SeveralEncryptedCancelledWhileZipping", 3, true, true, 1, false, 2, {}, {130},
                      JobOutcome::Cancelled},
        UnfinishedRow{"SeveralEncryptedCancelledWhileEncrypting", 3, true, true, 1, false, 6, {}, {129},
                      JobOutcome::Cancelled},
        UnfinishedRow{"OneEncryptedCancelled", 1, false, true, 1, false, 1, {}, {}, JobOutcome::Cancelled},
        UnfinishedRow{"OneZipFirstCancelledWhileEncrypting", 1, true, true, 1, false, 3, {}, {129},
                      JobOutcome::Cancelled},
        UnfinishedRow{"OneEncryptFirstCancelled", 1, true, true, 0, false, 2, {}, {129}, JobOutcome::Cancelled}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CreateArchiveJobTest, FailedItemLeftOutWhenTheUserGoesOn) {
    CreateArchiveParams params = Params(3, true, false);
    params.items[1].sourcePath = sandbox / "in/missing.md";
    host.SaveFile(sandbox / "out/all.zip").Answer(MessageId::ContinueWithNextFile, MessageAnswer::Yes);

    EXPECT_EQ(RunCreateArchiveJob(params, host), JobOutcome::Failed);

    EXPECT_EQ(host.MessageIds(), (std::vector<int>{111, 113}));
    EXPECT_EQ(test::EnglishText(host.messages[0]),
              "Couldn't create/open file\n" + (sandbox / "in/missing.md").string() + "\nContinue with next file?");
    Contents expected = ListContents();
    expected.erase("docs/beta.md");
    EXPECT_EQ(ArchiveContents(sandbox / "out/all.zip"), expected);
}

TEST_F(CreateArchiveJobTest, ZippingOnlyOneFileIgnoresCancel) {
    host.SaveFile(sandbox / "out/gamma.zip");
    host.CancelAtPosition(1);
    EXPECT_EQ(RunCreateArchiveJob(Params(1, true, false), host), JobOutcome::Succeeded);
    EXPECT_EQ(host.MessageIds(), std::vector<int>{113});
    EXPECT_EQ(ArchiveContents(sandbox / "out/gamma.zip").size(), 1u);
}

TEST_F(CreateArchiveJobTest, OutputMayReplaceItsOwnSource) {
    const std::string original = GammaText();
    host.SaveFile(Gamma());
    EXPECT_EQ(RunCreateArchiveJob(Params(1, true, false), host), JobOutcome::Succeeded);
    EXPECT_EQ(ArchiveContents(Gamma()), (Contents{{"gamma.bin", original}}));
}

TEST_F(CreateArchiveJobTest, OutputInAMissingFolderFails) {
    for (const bool encrypt : {false, true}) {
        test::ScriptedJobHost failing;
        failing.SaveFile(sandbox / "nowhere/result");
        EXPECT_EQ(RunCreateArchiveJob(Params(1, !encrypt, encrypt), failing), JobOutcome::Failed);
        EXPECT_EQ(failing.MessageIds(), std::vector<int>{encrypt ? 129 : 110});
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox / "nowhere"));
}

}  // namespace
}  // namespace vaultpack
