// The unzip job driven by a scripted host: extraction below the destination,
// the overwrite question, failed and hostile entries, cancellation and the
// removal of a decrypted archive.

#include <gtest/gtest.h>

#include "jobs/Jobs.h"
#include "jobs/ZipResult.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/jobs/ScriptedJobHost.h"
#include "tests/jobs/ZipTestSupport.h"

namespace vaultpack {
namespace {

using test::PrintTo;

using test::RawEntry;
using test::ReadText;
using test::Files;
using test::FolderContents;
using Strings = std::vector<std::string>;

constexpr std::uint32_t kFolderAttribute = 0x10;

class UnzipJobTest : public testing::Test {
public:
    UnzipJobTest() { std::filesystem::create_directory(destination); }

    std::filesystem::path Archive(const std::vector<RawEntry>& entries, const std::string& name = "in.zip") const {
        const std::filesystem::path archive = sandbox / name;
        test::WriteRawZip(archive, entries);
        return archive;
    }

    FileJobParams Params(const std::filesystem::path& archive, bool deleteAfter = false) const {
        FileJobParams params;
        params.sourceFiles = {archive};
        params.destinationFolders = {destination};
        params.deleteSourceAfter = deleteAfter;
        return params;
    }

    std::string CountText() const { return host.messages.empty() ? "" : test::EnglishText(host.messages.back()); }

    test::JobSandbox sandbox;
    test::ScriptedJobHost host;
    std::filesystem::path destination = sandbox / "dest";
};

const std::vector<RawEntry> kThreeFiles{{"one.txt", "1"}, {"two.txt", "2"}, {"three.txt", "3"}};

TEST_F(UnzipJobTest, ExtractsEveryEntryBelowTheDestination) {
    const auto archive = Archive({{"top.txt", "T"}, {"a/b/c.txt", "C"}, {"empty/", "", kFolderAttribute}});
    EXPECT_EQ(RunUnzipJob(Params(archive), host), JobOutcome::Succeeded);

    EXPECT_EQ(FolderContents(destination), (Files{{"a", "<folder>"}, {"a/b", "<folder>"}, {"a/b/c.txt", "C"},
                                                   {"empty", "<folder>"}, {"top.txt", "T"}}));
    EXPECT_EQ(Strings(host.calls.begin(), host.calls.begin() + 5),
              (Strings{"show", "cancel-caption 170", "range 3", "status 186", "title 185"}));
    EXPECT_EQ(host.CallsStartingWith("position"), (Strings{"position 0", "position 1", "position 2", "position 3"}));
    EXPECT_EQ(test::EnglishText(host.statuses.at(2)), "Unzipping \"a/b/c.txt\"");
    EXPECT_EQ(host.MessageIds(), std::vector<int>{128});
    EXPECT_EQ(CountText(), "3 out of 3 files have been unzipped successfully");
    EXPECT_EQ(host.messages[0].caption, MessageId::CaptionInformation);
    ASSERT_EQ(host.completions.size(), 1u);
    EXPECT_EQ(host.completions[0].kind, JobKind::Unzip);
    EXPECT_TRUE(std::filesystem::exists(archive));
}

TEST_F(UnzipJobTest, AsksForWhatTheRecordLeavesOpen) {
    const auto archive = Archive(kThreeFiles);
    host.Expect("open zip", archive.string()).Expect("folder 125", destination.string());
    EXPECT_EQ(RunUnzipJob(FileJobParams{}, host), JobOutcome::Succeeded);
    EXPECT_EQ(Strings(host.calls.begin(), host.calls.begin() + 2), (Strings{"open zip", "folder 125"}));

    test::ScriptedJobHost noArchive;
    noArchive.Expect("open zip", std::nullopt);
    EXPECT_EQ(RunUnzipJob(FileJobParams{}, noArchive), JobOutcome::NothingDone);
    EXPECT_EQ(noArchive.calls, (Strings{"open zip", "complete"}));

    test::ScriptedJobHost noFolder;
    noFolder.Expect("open zip", archive.string()).Expect("folder 125", std::nullopt);
    EXPECT_EQ(RunUnzipJob(FileJobParams{}, noFolder), JobOutcome::NothingDone);
    EXPECT_EQ(noFolder.calls, (Strings{"open zip", "folder 125", "complete"}));
}

TEST_F(UnzipJobTest, ArchivesThatCannotBeRead) {
    struct Row {
        const char* name;
        std::filesystem::path archive;
        std::vector<int> messageIds;
        std::string position;
    };
    const Row rows[] = {
        {"Missing", sandbox / "gone.zip", {126}, ""},
        {"NotAnArchive", sandbox.Write("text.zip", "plain text, not an archive"), {126}, ""},
        {"Empty", Archive({}), {128}, "position 0"},
    };
    for (const Row& row : rows) {
        test::ScriptedJobHost rowHost;
        RunUnzipJob(Params(row.archive), rowHost);
        EXPECT_EQ(rowHost.MessageIds(), row.messageIds) << row.name;
        EXPECT_EQ(rowHost.messages.at(0).owner, row.position.empty() ? MessageOwner::None : MessageOwner::Progress)
            << row.name;
        EXPECT_EQ(rowHost.CallsStartingWith("position"), row.position.empty() ? Strings{} : Strings{row.position})
            << row.name;
        EXPECT_EQ(rowHost.completions.size(), 1u) << row.name;
    }
}

struct OverwriteRow {
    const char* name;
    const char* answer;
    std::string countText;
    std::string second;  // two.txt afterwards
    bool thirdExtracted;
    JobOutcome outcome;
};

class UnzipOverwriteTest : public UnzipJobTest, public testing::WithParamInterface<OverwriteRow> {};

TEST_P(UnzipOverwriteTest, AsksBeforeReplacing) {
    const OverwriteRow& row = GetParam();
    test::WriteFile(destination / "two.txt", "old");
    host.Expect("message 127", row.answer);

    EXPECT_EQ(RunUnzipJob(Params(Archive(kThreeFiles)), host), row.outcome);

    EXPECT_EQ(test::EnglishText(host.messages.at(0)),
              "\"" + (destination / "two.txt").string() + "\" already exists, overwrite it?");
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(host.messages[0].caption, MessageId::CaptionQuestion);
    EXPECT_EQ(CountText(), row.countText);
    EXPECT_EQ(ReadText(destination / "two.txt"), row.second);
    EXPECT_EQ(std::filesystem::exists(destination / "three.txt"), row.thirdExtracted);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnzipOverwriteTest,
    testing::Values(OverwriteRow{"Yes", "Yes", "3 out of 3 files have been unzipped successfully", "2",
                                 true, JobOutcome::Succeeded},
                    OverwriteRow{"No", "No", "2 out of 3 files have been unzipped successfully", "old",
                                 true, JobOutcome::Succeeded},
                    OverwriteRow{"Cancel", "Cancel", "1 out of 3 files have been unzipped successfully",
                                 "old", false, JobOutcome::Cancelled}),
    [](const auto& info) { return std::string(info.param.name); });

// Entries whose names would lead out of the destination are reported like
// failed entries and never written.
struct HostileRow {
    const char* name;
    std::string entryName;  // "{root}" stands for the sandbox folder
    std::string reason;
};

class UnzipHostileTest : public UnzipJobTest, public testing::WithParamInterface<HostileRow> {};

TEST_P(UnzipHostileTest, NeverWritesOutsideTheDestination) {
    std::string entryName = GetParam().entryName;
    if (const auto root = entryName.find("{root}"); root != std::string::npos) {
        entryName.replace(root, 6, sandbox.Root().string());
    }
    const auto archive = Archive({{entryName, "evil"}, {"fine.txt", "fine"}});
    host.Expect("message 111", "Yes");

    EXPECT_EQ(RunUnzipJob(Params(archive), host), JobOutcome::Failed);

    EXPECT_EQ(test::EnglishText(host.messages.at(0)),
              GetParam().reason + "\n(" + entryName + ")\nContinue with next file?");
    EXPECT_EQ(host.messages[0].caption, MessageId::CaptionError);
    EXPECT_EQ(CountText(), "1 out of 2 files have been unzipped successfully");
    Files expected{{"dest", "<folder>"}, {"dest/fine.txt", "fine"}, {"tmp", "<folder>"}};
    expected["in.zip"] = ReadText(archive);
    EXPECT_EQ(FolderContents(sandbox.Root()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnzipHostileTest,
    testing::Values(
        HostileRow{"ParentFolder", "../evil.txt", "The entry name leads out of the destination folder (\"..\")"},
        HostileRow{"ParentFolderInside", "a/../../evil.txt",
                   "The entry name leads out of the destination folder (\"..\")"},
        HostileRow{"Absolute", "{root}/evil.txt", "The entry name is an absolute path outside the destination folder"},
        HostileRow{"DriveLetter", "C:evil.txt", "The entry name starts with a drive letter"},
        HostileRow{"Backslash", "..\\evil.txt", "The entry name contains a backslash"},
        HostileRow{"OnlyADot", ".", "The entry name does not name a file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UnzipJobTest, DoesNotFollowALinkedFolder) {
    std::filesystem::create_directory(sandbox / "outside");
    std::filesystem::create_directory_symlink(sandbox / "outside", destination / "link");
    host.Expect("message 111", "No");

    EXPECT_EQ(RunUnzipJob(Params(Archive({{"link/evil.txt", "evil"}, {"fine.txt", "fine"}})), host),
              JobOutcome::Failed);

    const std::string link = (destination / "link").string();
    EXPECT_EQ(test::EnglishText(host.messages.at(0)), "\"" + link + "\" is a symbolic link, which is not followed\n(" +
                                                          link + "/evil.txt)\nContinue with next file?");
    EXPECT_EQ(CountText(), "0 out of 2 files have been unzipped successfully") << "No stops at the failed entry";
    EXPECT_EQ(FolderContents(sandbox / "outside"), Files{});
}

TEST_F(UnzipJobTest, FailedEntryLeavesTheReplacedFileAsItWas) {
    const auto archive = Archive({{"data.txt", std::string(10000, 'x')}});
    // Damage the deflated data that follows the 30-byte local header and the name.
    std::string bytes = ReadText(archive);
    bytes[30 + 8 + 4] = static_cast<char>(bytes[30 + 8 + 4] ^ 0x55);
    test::WriteFile(archive, bytes);
    test::WriteFile(destination / "data.txt", "old");
    host.Expect("message 127", "Yes").Expect("message 111", "Yes");

    EXPECT_EQ(RunUnzipJob(Params(archive), host), JobOutcome::Failed);

    EXPECT_EQ(test::EnglishText(host.messages.at(1)), std::string(ZipResultText(ZipResult::CorruptArchive)) + "\n(" +
                                                          (destination / "data.txt").string() +
                                                          ")\nContinue with next file?");
    EXPECT_EQ(FolderContents(destination), (Files{{"data.txt", "old"}}));
    EXPECT_EQ(CountText(), "0 out of 1 files have been unzipped successfully");
}

TEST_F(UnzipJobTest, CancelStopsBeforeTheNextEntryAndStillRemovesADecryptedArchive) {
    const auto archive = Archive(kThreeFiles);
    host.CancelAtPosition(2);
    EXPECT_EQ(RunUnzipJob(Params(archive, true), host), JobOutcome::Cancelled);
    EXPECT_EQ(FolderContents(destination), (Files{{"one.txt", "1"}, {"two.txt", "2"}}));
    EXPECT_EQ(host.CallsStartingWith("position"), (Strings{"position 0", "position 1"}));
    EXPECT_EQ(CountText(), "2 out of 3 files have been unzipped successfully");
    EXPECT_FALSE(std::filesystem::exists(archive));
}

TEST_F(UnzipJobTest, EntryThatReplacedTheArchiveIsKept) {
    // The archive is extracted into its own folder and holds a file of its own name.
    const auto archive = Archive({{"in.zip", "inner"}, {"other.txt", "o"}});
    host.Expect("message 127", "Yes");
    FileJobParams params = Params(archive, true);
    params.destinationFolders = {sandbox.Root()};

    EXPECT_EQ(RunUnzipJob(params, host), JobOutcome::Succeeded);

    EXPECT_EQ(ReadText(archive), "inner");
    EXPECT_EQ(ReadText(sandbox / "other.txt"), "o");
}

}  // namespace
}  // namespace vaultpack
