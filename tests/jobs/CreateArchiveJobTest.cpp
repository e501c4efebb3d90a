// The create-archive job driven by a scripted host: every combination read
// back, the failures, cancellation at each point and abandonment, and what it
// leaves behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

#include "crypto/DecryptFile.h"
#include "crypto/EncryptFile.h"
#include "crypto/EncryptedFileReaders.h"
#include "jobs/AbandonableJobHost.h"
#include "jobs/FollowOnUnzip.h"
#include "jobs/Jobs.h"
#include "zip/ZipWriter.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/ResourceLimits.h"
#include "tests/support/ScriptedJobHost.h"

namespace vaultpack {
namespace {

using test::ArchiveContents;
using test::Files;
using test::FolderContents;
using test::PrintTo;
using test::RunJob;
using test::ReadText;
using Path = std::filesystem::path;
using Strings = std::vector<std::string>;

constexpr char kPassword[] = "s3cret!";

// The options: three rows as Add Files and Add Folders make them, or the large file alone.
struct Options {
    int items;
    bool zip;
    bool encrypt;
    int order;
};
constexpr Options kZipList{3, true, false, 1}, kZipListThenEncrypt{3, true, true, 1}, kZipOne{1, true, false, 1},
    kEncryptOne{1, false, true, 1}, kZipOneThenEncrypt{1, true, true, 1}, kEncryptOneThenZip{1, true, true, 0};

class CreateArchiveJobTest : public testing::Test {
public:
    CreateArchiveJobTest() {
        sandbox.Write("in/alpha.txt", "alpha");
        sandbox.Write("in/docs/beta.md", "beta");
        sandbox.Write("in/docs/sub/gamma.bin", gamma);
    }

    CreateArchiveParams Params(const Options& options) const {
        std::vector<ArchiveItem> items{test::ItemFor(sandbox / "in/docs/sub/gamma.bin", "docs\\sub\\")};
        if (options.items > 1) {
            items.insert(items.begin(), {test::ItemFor(sandbox / "in/alpha.txt"),
                                         test::ItemFor(sandbox / "in/docs/beta.md", "docs\\")});
        } else {
            items[0].archiveFolder.clear();
        }
        return {items, "the usual", options.encrypt ? kPassword : "", options.order, options.zip, options.items > 1,
                options.encrypt};
    }

    // Decrypts a container beside itself and returns what came out.
    static Path DecryptBack(const Path& container) {
        const FileOperationResult result = DecryptFile(container, kPassword);
        EXPECT_TRUE(result.Completed()) << static_cast<int>(result.failure.reason);
        return result.outputPath;
    }

    test::JobSandbox sandbox;
    test::ScriptedJobHost host;
    const std::string gamma = test::RandomText(300 * 1024, 7);  // three 100 KiB chunks
    const Files list = {{"alpha.txt", "alpha"}, {"docs", "<folder>"}, {"docs/beta.md", "beta"},
                        {"docs/sub", "<folder>"}, {"docs/sub/gamma.bin", gamma}};
};

// Each combination, and each way one fails or is cancelled. The user agreed to
// replace an existing file: a job that does not get done leaves it as it was.
struct CreateRow {
    const char* name;
    Options options;
    const char* saveQuestion;  // the filter and the default name offered
    bool missingItem;          // the last item's file does not exist; "Continue with next file?" is answered No
    int cancelAtPosition;      // -1: never; the list sets 0, then one per item; encryption one per 100 KiB
    std::vector<int> messageIds;
    std::function<void(const CreateArchiveJobTest&, const Path&)> check;  // what a finished job wrote
};

class CreateTableTest : public CreateArchiveJobTest, public testing::WithParamInterface<CreateRow> {};

TEST_P(CreateTableTest, WritesTheOutputOnlyWhenAllStepsAreDone) {
    const CreateRow& row = GetParam();
    CreateArchiveParams params = Params(row.options);
    const Path output = sandbox.Write("out/result", "old");
    host.Expect(row.saveQuestion, output.string());
    if (row.missingItem) {
        params.items.back().sourcePath = sandbox / "in/missing.txt";
        if (row.options.items > 1) {
            host.Expect("message 111", "No");
        }
    }
    host.CancelAtPosition(row.cancelAtPosition);

    const JobOutcome outcome = RunJob(RunCreateArchiveJob, params, host);

    EXPECT_TRUE(host.progress.shown);
    EXPECT_EQ(host.progress.title, MessageId::CreatingArchiveTitle);
    EXPECT_EQ(host.progress.cancelCaption, MessageId::Cancel);
    EXPECT_EQ(host.MessageIds(), row.messageIds);
    if (!host.messages.empty() && (host.MessageIds().back() == 129 || host.MessageIds().back() == 130)) {
        EXPECT_EQ(host.messages.back().owner, MessageOwner::None);
    }
    EXPECT_EQ(host.completions.size(), 1u);
    EXPECT_EQ(FolderContents(sandbox.TemporaryFolder()), Files{});
    EXPECT_EQ(FolderContents(sandbox / "out").size(), 1u);
    if (row.check) {
        EXPECT_EQ(outcome, JobOutcome::Succeeded);
        row.check(*this, output);
    } else {
        EXPECT_EQ(outcome, row.cancelAtPosition > 0 ? JobOutcome::Cancelled : JobOutcome::Failed);
        EXPECT_EQ(ReadText(output), "old");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CreateTableTest,
    testing::Values(
        CreateRow{"SeveralZipped", kZipList, "save zip ", false, -1, {450},
                  [](const auto& test, const auto& output) { EXPECT_EQ(ArchiveContents(output), test.list); }},
        // Decrypting it starts the unzip that puts the files beside the container and removes the archive.
        CreateRow{"SeveralZippedThenEncrypted", kZipListThenEncrypt, "save ezc ", false, -1, {113},
                  [](const auto& test, const auto& output) {
                      EXPECT_EQ(ReadStoredName(output), "result.zip");
                      test::ScriptedJobHost decryptor, unzipper;
                      decryptor.Expect("password the usual", kPassword);
                      ASSERT_EQ(RunJob(RunDecryptJob, {{output}, {}, false}, decryptor), JobOutcome::Succeeded);
                      EXPECT_EQ(decryptor.MessageIds(), std::vector<int>{}) << "no \"decrypted\" message";
                      const auto followOn = DecideDecryptFollowOn(decryptor.completions.at(0), false);
                      ASSERT_TRUE(followOn.startUnzip);
                      EXPECT_EQ(RunJob(RunUnzipJob, *followOn.startUnzip, unzipper), JobOutcome::Succeeded);
                      Files out = FolderContents(output.parent_path());
                      EXPECT_EQ(out.erase("result"), 1u);
                      EXPECT_EQ(out, test.list);
                  }},
        CreateRow{"OneZipped", kZipOne, "save zip gamma.zip", false, -1, {450},
                  [](const auto& test, const auto& output) {
                      EXPECT_EQ(ArchiveContents(output), (Files{{"gamma.bin", test.gamma}}));
                  }},
        CreateRow{"OneEncrypted", kEncryptOne, "save ezc gamma.ezc", false, -1, {113},
                  [](const auto& test, const auto& output) {
                      EXPECT_EQ(ReadStoredName(output), "gamma.bin");
                      EXPECT_EQ(ReadText(test.DecryptBack(output)), test.gamma);
                  }},
        CreateRow{"OneZippedThenEncrypted", kZipOneThenEncrypt, "save ezc gamma.ezc", false, -1, {113},
                  [](const auto& test, const auto& output) {
                      EXPECT_EQ(ReadStoredName(output), "gamma.zip");
                      EXPECT_EQ(ReadZipFlag(output), 0) << "decrypting gives back the archive as a file";
                      EXPECT_EQ(ArchiveContents(test.DecryptBack(output)), (Files{{"gamma.bin", test.gamma}}));
                  }},
        CreateRow{"OneEncryptedThenZipped", kEncryptOneThenZip, "save zip gamma.zip", false, -1, {113},
                  [](const auto& test, const auto& output) {
                      const Files files = ArchiveContents(output);
                      ASSERT_EQ(files.size(), 1u);
                      ASSERT_EQ(files.begin()->first, "gamma.ezc");
                      const auto container = test.sandbox.Write("copy/gamma.ezc", files.begin()->second);
                      EXPECT_EQ(ReadText(test.DecryptBack(container)), test.gamma);
                  }},
        CreateRow{"SeveralStoppedAtFailedItem", kZipList, "save zip ", true, -1, {111}, {}},
        CreateRow{"SeveralEncryptedStoppedAtFailedItem", kZipListThenEncrypt, "save ezc ", true, -1, {111, 130}, {}},
        // 212: the box says why the file could not be opened.
        CreateRow{"OneZippedMissing", kZipOne, "save zip gamma.zip", true, -1, {212}, {}},
        CreateRow{"OneEncryptedMissing", kEncryptOne, "save ezc gamma.ezc", true, -1, {129}, {}},
        CreateRow{"OneZipFirstMissing", kZipOneThenEncrypt, "save ezc gamma.ezc", true, -1, {212, 130}, {}},
        CreateRow{"OneEncryptFirstMissing", kEncryptOneThenZip, "save zip gamma.zip", true, -1, {129}, {}},
        CreateRow{"SeveralCancelledAtSecondItem", kZipList, "save zip ", false, 3, {}, {}},
        CreateRow{"SeveralEncryptedCancelledWhileZipping", kZipListThenEncrypt, "save ezc ", false, 2, {130}, {}},
        CreateRow{"SeveralEncryptedCancelledWhileEncrypting", kZipListThenEncrypt, "save ezc ", false, 6, {129}, {}},
        CreateRow{"OneEncryptedCancelled", kEncryptOne, "save ezc gamma.ezc", false, 1, {}, {}},
        CreateRow{"OneZippedCancelledWithinTheFile", kZipOne, "save zip gamma.zip", false, 1, {}, {}},
        CreateRow{"OneEncryptFirstCancelled", kEncryptOneThenZip, "save zip gamma.zip", false, 2, {129}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CreateArchiveJobTest, FailedItemLeftOutWhenTheUserGoesOn) {
    CreateArchiveParams params = Params(kZipList);
    params.items[1].sourcePath = sandbox / "in/missing.md";
    host.Expect("save zip ", (sandbox / "all.zip").string()).Expect("message 111", "Yes");
    // What the progress window shows behind each message box.
    std::vector<std::pair<std::string, std::uint32_t>> behindMessages;
    host.onMessage = [&] { behindMessages.emplace_back(host.statuses.back(), host.progress.position); };

    EXPECT_EQ(RunJob(RunCreateArchiveJob, params, host), JobOutcome::ItemsLeftOut);

    EXPECT_EQ(host.MessageIds(), (std::vector<int>{111, 450}));
    // The bar counts bytes: alpha.txt has 5, the missing file none.
    EXPECT_EQ(host.progress.range, 307205u);
    EXPECT_EQ(host.progress.position, 307205u);
    EXPECT_EQ(host.progress.amounts, (ProgressAmounts{3, 3, 307205}));
    const std::string missing = (sandbox / "in/missing.md").string();
    EXPECT_EQ(host.messageTexts.at(0), "Couldn't create/open file\n" + missing + "\nCannot open \"" + missing +
                                           "\": No such file or directory\nContinue with next file?");
    // A plain ZIP is not called encrypted, and the message names it.
    EXPECT_EQ(host.messageTexts.at(1), "The ZIP archive \"" + (sandbox / "all.zip").string() +
                                           "\" has been created. It is not protected by a password.");
    Files expected = list;
    expected.erase("docs/beta.md");
    EXPECT_EQ(ArchiveContents(sandbox / "all.zip"), expected);
    // Each item on the status line; the sandbox's paths are longer than 30 characters.
    Strings zipping;
    for (const char* source : {"in/alpha.txt", "in/missing.md", "in/docs/sub/gamma.bin"}) {
        const std::string path = (sandbox / source).string();
        zipping.push_back("Zipping \"..." + path.substr(path.size() - 30) + "\"");
    }
    EXPECT_EQ(host.statuses, zipping);
    // The question shows with the missing file on the status line, the last
    // message with the bar full.
    EXPECT_EQ(behindMessages,
              (std::vector<std::pair<std::string, std::uint32_t>>{{zipping[1], 5}, {zipping[2], 307205}}));
}

// The bar counts the bytes of all items and moves within a large one as its
// blocks go into the archive; the count follows the items.
TEST_F(CreateArchiveJobTest, BarMovesWithinALargeItem) {
    constexpr std::uint64_t kLarge = 3 * ZipWriter::kWholeFileLimit;
    sandbox.Write("in/large.bin", std::string(kLarge, 'x'));
    CreateArchiveParams params = Params(kZipList);
    params.items = {test::ItemFor(sandbox / "in/alpha.txt"), test::ItemFor(sandbox / "in/large.bin")};
    host.Expect("save zip ", (sandbox / "all.zip").string());

    EXPECT_EQ(RunJob(RunCreateArchiveJob, params, host), JobOutcome::Succeeded);

    const std::uint64_t total = kLarge + 5;
    EXPECT_NE(std::find(host.calls.begin(), host.calls.end(), "range " + std::to_string(total)), host.calls.end());
    std::vector<std::uint64_t> positions;
    for (const std::string& call : host.calls) {
        if (call.starts_with("position ")) {
            positions.push_back(std::stoull(call.substr(9)));
        }
    }
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    const auto withinLarge = std::count_if(positions.begin(), positions.end(),
                                           [&](std::uint64_t position) { return position > 5 && position < total; });
    EXPECT_GE(withinLarge, 2) << "the bar moves while the large file is added";
    EXPECT_EQ(positions.back(), total);
    EXPECT_EQ(host.progress.amounts, (ProgressAmounts{2, 2, total}));
}

// A file that fails part-way through (here one whose reading fails at once)
// leaves a damaged entry: no "Continue?" is offered, closing the damaged
// archive is not reported a second time, and no archive results.
TEST_F(CreateArchiveJobTest, FileFailingPartWayStopsTheArchive) {
    for (const Options& options : {kZipList, kZipOne}) {
        SCOPED_TRACE(options.items);
        CreateArchiveParams params = Params(options);
        params.items[options.items > 1 ? 1 : 0].sourcePath = "/proc/self/mem";
        test::WriteFile(sandbox / "all.zip", "older archive");
        test::ScriptedJobHost zipping;
        zipping.Expect(options.items > 1 ? "save zip " : "save zip gamma.zip", (sandbox / "all.zip").string());

        EXPECT_EQ(RunJob(RunCreateArchiveJob, params, zipping), JobOutcome::Failed);

        EXPECT_EQ(zipping.messageTexts,
                  Strings{"Error reading file\n/proc/self/mem\nCannot read \"/proc/self/mem\": Input/output error"});
        EXPECT_EQ(ReadText(sandbox / "all.zip"), "older archive");
        EXPECT_EQ(FolderContents(sandbox.TemporaryFolder()), Files{});
    }
}

// Files are read and compressed on several threads ahead of the writer; the
// archive is the same whatever their number, with a file too large to be
// compressed whole streamed between the others.
TEST_F(CreateArchiveJobTest, SameArchiveWhateverTheThreadCount) {
    CreateArchiveParams params = Params(kZipList);
    const std::string large = test::RandomText(ZipWriter::kWholeFileLimit + 1000, 3);
    params.items.insert(params.items.begin() + 1, test::ItemFor(sandbox.Write("in/large.txt", large)));
    // Entries record the access time; one after the modification time is not
    // moved by reading, so every run sees the same.
    const timespec times[2] = {{::time(nullptr) + 3600, 0}, {0, UTIME_OMIT}};
    for (const ArchiveItem& item : params.items) {
        ASSERT_EQ(::utimensat(AT_FDCWD, item.sourcePath.c_str(), times, 0), 0) << item.sourcePath;
    }
    Files expected = list;
    expected["large.txt"] = large;
    std::string first;
    for (const unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE(threads);
        params.threads = threads;
        const Path output = sandbox / ("threads" + std::to_string(threads) + ".zip");
        test::ScriptedJobHost zipping;
        zipping.Expect("save zip ", output.string());
        ASSERT_EQ(RunJob(RunCreateArchiveJob, params, zipping), JobOutcome::Succeeded);
        if (first.empty()) {
            EXPECT_EQ(ArchiveContents(output), expected);
            first = ReadText(output);
        } else {
            EXPECT_TRUE(ReadText(output) == first) << "the archives differ";
        }
    }
}

// A cancel while a large file's blocks are made stops within the file, and
// the job leaves the archive the user agreed to replace as it was.
TEST_F(CreateArchiveJobTest, CancelWithinALargeFileLeavesTheOldArchive) {
    sandbox.Write("in/docs/sub/gamma.bin", test::RandomText(4 * ZipWriter::kWholeFileLimit, 5));
    CreateArchiveParams params = Params(kZipList);
    params.threads = 2;
    const Path output = sandbox.Write("out/result.zip", "old");
    host.Expect("save zip ", output.string());
    // gamma.bin, the third item, begins with the third position; cancelling
    // is pressing at its third poll. Polls are counted from there to the end.
    bool inGamma = false;
    int gammaPolls = 0;
    host.CancelAtPosition(4);
    host.onPosition = [&](int count) { inGamma = count >= 3; };
    host.onCancelCheck = [&] {
        if (inGamma && ++gammaPolls == 3) {
            host.SetPosition(2);
        }
    };

    EXPECT_EQ(RunJob(RunCreateArchiveJob, params, host), JobOutcome::Cancelled);

    EXPECT_LT(gammaPolls, 8) << "a 32 MiB file polls once a block, 32 times when a cancel is not heeded";
    EXPECT_EQ(ReadText(output), "old");
    EXPECT_EQ(FolderContents(sandbox / "out").size(), 1u);
    EXPECT_EQ(FolderContents(sandbox.TemporaryFolder()), Files{});
}

TEST_F(CreateArchiveJobTest, NothingToDo) {
    host.Expect("save ezc gamma.ezc", std::nullopt);
    EXPECT_EQ(RunJob(RunCreateArchiveJob, Params(kEncryptOne), host), JobOutcome::NothingDone);
    EXPECT_FALSE(host.progress.shown);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.saveFolders, std::vector<Path>{sandbox / "in/docs/sub"}) << "the first item's folder";

    test::ScriptedJobHost emptyList;
    EXPECT_EQ(RunJob(RunCreateArchiveJob, CreateArchiveParams(), emptyList), JobOutcome::NothingDone);
    EXPECT_FALSE(emptyList.progress.shown);
    EXPECT_EQ(emptyList.MessageIds(), std::vector<int>{118});
}

// One file listed twice is stored once; two files under one stored name are
// refused before anything is asked or written, naming both.
TEST_F(CreateArchiveJobTest, RowsSharingAStoredName) {
    const Path alpha = sandbox / "in/alpha.txt";
    const Path otherAlpha = sandbox.Write("other/alpha.txt", "another alpha");
    CreateArchiveParams params = Params(kZipList);
    params.items.push_back(test::ItemFor(sandbox / "in/../in/alpha.txt"));
    host.Expect("save zip ", (sandbox / "twice.zip").string());
    EXPECT_EQ(RunJob(RunCreateArchiveJob, params, host), JobOutcome::Succeeded);
    EXPECT_EQ(ArchiveContents(sandbox / "twice.zip"), list);

    params.items.push_back(test::ItemFor(otherAlpha));
    test::ScriptedJobHost refusing;
    EXPECT_EQ(RunJob(RunCreateArchiveJob, params, refusing), JobOutcome::Failed);
    EXPECT_FALSE(refusing.progress.shown);
    EXPECT_EQ(refusing.messageTexts, Strings{"\"" + alpha.string() + "\" and \"" + otherAlpha.string() +
                                             "\" would be stored under the same name; the archive would keep only one "
                                             "of them"});
}

// Where nothing stood when the user chose the output, a file that appears
// while the job writes is kept, for a created archive and a decrypted file.
TEST_F(CreateArchiveJobTest, FileThatAppearsMeanwhileIsKept) {
    const Path container = sandbox / "box/gamma.ezc";
    std::filesystem::create_directories(sandbox / "box");
    std::filesystem::create_directories(sandbox / "out");
    ASSERT_TRUE(EncryptFile(sandbox / "in/docs/sub/gamma.bin", container, kPassword, "", false).Completed());
    const Path created = sandbox / "out/new.ezc", decrypted = sandbox / "box/gamma.bin";
    for (const Path& output : {created, decrypted}) {
        SCOPED_TRACE(output.filename());
        test::ScriptedJobHost writer;
        writer.onPosition = [&](int count) {
            if (count == 2) {
                test::WriteFile(output, std::string("appeared"));
            }
        };
        JobOutcome outcome = JobOutcome::Succeeded;
        if (output == created) {
            writer.Expect("save ezc", output.string());
            outcome = RunJob(RunCreateArchiveJob, Params(kEncryptOne), writer);
        } else {
            writer.Expect("password", kPassword);
            outcome = RunJob(RunDecryptJob, {{container}, {}, false}, writer);
        }
        EXPECT_EQ(outcome, JobOutcome::Failed);
        EXPECT_EQ(ReadText(output), "appeared");
        ASSERT_EQ(writer.messageTexts.size(), 1u);
        EXPECT_NE(writer.messageTexts[0].find("\"" + output.string() + "\" appeared while the output was being written"),
                  std::string::npos)
            << writer.messageTexts[0];
        EXPECT_EQ(FolderContents(output.parent_path()).size(), output == created ? 1u : 2u) << "nothing half-written";
    }
}

// A write that fails names the output the user chose, not the file being
// read nor the folder its unnamed file is made in.
TEST_F(CreateArchiveJobTest, WriteFailureNamesTheOutput) {
    for (const Options& options : {kZipOne, kEncryptOne}) {
        const Path output = sandbox / (options.encrypt ? "big.ezc" : "big.zip");
        test::ScriptedJobHost writing;
        writing.Expect("save", output.string());
        JobOutcome outcome = JobOutcome::Succeeded;
        {
            const test::ScopedFileSizeLimit small(64 * 1024);
            outcome = RunJob(RunCreateArchiveJob, Params(options), writing);
        }

        EXPECT_EQ(outcome, JobOutcome::Failed);
        ASSERT_EQ(writing.messageTexts.size(), 1u);
        EXPECT_TRUE(writing.messageTexts[0].ends_with("Cannot write \"" + output.string() + "\": File too large"))
            << writing.messageTexts[0];
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

TEST_F(CreateArchiveJobTest, OutputMayReplaceItsOwnSourceButNotGoWhereNoFolderIs) {
    host.Expect("save", (sandbox / "in/docs/sub/gamma.bin").string());
    EXPECT_EQ(RunJob(RunCreateArchiveJob, Params(kZipOne), host), JobOutcome::Succeeded);
    EXPECT_EQ(ArchiveContents(sandbox / "in/docs/sub/gamma.bin"), (Files{{"gamma.bin", gamma}}));

    for (const Options& options : {kZipOne, kEncryptOne}) {
        test::ScriptedJobHost failing;
        failing.Expect("save", (sandbox / "nowhere/result").string());
        EXPECT_EQ(RunJob(RunCreateArchiveJob, Params(options), failing), JobOutcome::Failed);
        EXPECT_EQ(failing.MessageIds(), std::vector<int>{options.encrypt ? 129 : 110});
    }
}

// A job whose options window is closed is abandoned: nothing more reaches the
// user, the job winds down through its cancel checks, and no completion comes.
TEST_F(CreateArchiveJobTest, AbandonedFromAnotherThreadMidWay) {
    host.Expect("save", (sandbox / "result.ezc").string());
    AbandonableJobHost abandonable(Unowned(host));
    // The job thread waits at its second position (the second item) until the other thread has abandoned it.
    std::promise<void> reached, abandoned;
    host.onPosition = [&](int count) {
        if (count == 2) {
            reached.set_value();
            test::Await(abandoned.get_future(), "the test to abandon the job");
        }
    };
    JobOutcome outcome = JobOutcome::Succeeded;
    std::thread job([&] { outcome = RunJob(RunCreateArchiveJob, Params(kZipListThenEncrypt), abandonable); });
    test::Await(reached.get_future(), "the job to reach its second position");
    abandonable.Abandon();
    abandoned.set_value();
    job.join();

    EXPECT_EQ(outcome, JobOutcome::Cancelled);
    // The bar counts bytes: the second item starts after the five of alpha.txt.
    EXPECT_EQ(host.calls.back(), "position 5") << "nothing reached the host after the abandon";
    EXPECT_TRUE(host.messages.empty()) << "not even the \"Failed to zip\" the cancel would show";
    EXPECT_TRUE(host.completions.empty());
    EXPECT_FALSE(std::filesystem::exists(sandbox / "result.ezc"));
    EXPECT_EQ(FolderContents(sandbox.TemporaryFolder()), Files{}) << "the intermediate archive is gone";
}

// An item left out while the archive to encrypt is made still counts once
// the container is in place: the job did not deliver everything asked for.
TEST_F(CreateArchiveJobTest, ItemLeftOutOfAnEncryptedArchiveIsReported) {
    CreateArchiveParams params = Params(kZipListThenEncrypt);
    params.items[1].sourcePath = sandbox / "in/missing.md";
    host.Expect("save ezc ", (sandbox / "all.ezc").string()).Expect("message 111", "Yes");

    EXPECT_EQ(RunJob(RunCreateArchiveJob, params, host), JobOutcome::ItemsLeftOut);

    EXPECT_TRUE(std::filesystem::is_regular_file(sandbox / "all.ezc"));
    EXPECT_EQ(host.MessageIds(), (std::vector<int>{111, 113}));
}

}  // namespace
}  // namespace vaultpack
