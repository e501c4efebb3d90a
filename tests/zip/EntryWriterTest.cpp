// EntryWriter against what may stand at a target or on the way to it, and
// the promise that a file has its final name only once complete.

#include "zip/EntryWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestSupport.h"

namespace vaultpack {
namespace {

namespace fs = std::filesystem;
using Reason = FailureReason;
using test::ReadText;
using test::WriteFile;

ZipEntryInfo PlainFile() {
    ZipEntryInfo info;
    info.mode = S_IFREG | 0644;
    info.hasUnixMode = true;
    return info;
}

// Writes `text` at the entry `name` below the writer's destination.
EntryOutcome Write(EntryWriter& writer, const std::string& name, const std::string& text, bool replace) {
    EntryWriter::Place place;
    EntryOutcome outcome = writer.Prepare(name, false, place);
    if (!outcome.Succeeded()) {
        return outcome;
    }
    const auto fill = [&](FileHandle& file) {
        file.WriteAll(text.data(), text.size());
        return ZipResult::Success;
    };
    return writer.WriteFile(place, PlainFile(), EntryTimes{}, fill, replace);
}

struct DestinationRow {
    const char* name;
    std::function<void(const fs::path& destination, const fs::path& outside)> arrange;
    Reason examined;  // None: the target may be written
    EntryWriter::Occupant occupant;
    Reason unasked;   // writing without replacing
    Reason replaced;  // writing and replacing
    const char* content;  // at the target afterwards
};

class EntryWriterDestinationTest : public testing::TestWithParam<DestinationRow> {};

// What stands at the target decides the question, the refusal and what a
// write leaves; nothing outside the destination ever changes.
TEST_P(EntryWriterDestinationTest, TargetIsExaminedAndWrittenOnlyAsAllowed) {
    const DestinationRow& row = GetParam();
    test::TempDir sandbox;
    const fs::path destination = sandbox / "dest";
    const fs::path outside = sandbox / "outside";
    fs::create_directories(destination);
    fs::create_directories(outside);
    WriteFile(outside / "victim.txt", "keep");
    row.arrange(destination, outside);

    EntryWriter writer(destination,
                       {IdentityOf(sandbox / "archive.zip"), IdentityOf(sandbox / "container.ezc")});
    EntryWriter::Place place;
    ASSERT_TRUE(writer.Prepare("t", false, place).Succeeded());
    EntryWriter::Occupant occupant = EntryWriter::Occupant::Nothing;
    EXPECT_EQ(writer.Examine(place, occupant).failure.reason, row.examined);
    EXPECT_EQ(occupant, row.occupant);
    EXPECT_EQ(Write(writer, "t", "new", false).failure.reason, row.unasked);
    EXPECT_EQ(Write(writer, "t", "new", true).failure.reason, row.replaced);
    if (row.content != nullptr) {
        EXPECT_EQ(fs::symlink_status(destination / "t").type(), fs::file_type::regular);
        EXPECT_EQ(ReadText(destination / "t"), row.content);
    }
    EXPECT_EQ(ReadText(outside / "victim.txt"), "keep");
    EXPECT_EQ(test::FolderEntries(outside), std::vector<std::string>{"victim.txt"});
    EXPECT_EQ(test::FolderEntries(destination), std::vector<std::string>{"t"});  // no temporary left
}

using enum EntryWriter::Occupant;
INSTANTIATE_TEST_SUITE_P(
    Rows, EntryWriterDestinationTest,
    testing::Values(
        DestinationRow{"Nothing", [](auto&, auto&) {}, Reason::None, Nothing, Reason::None, Reason::None, "new"},
        DestinationRow{"File", [](auto& d, auto&) { WriteFile(d / "t", "old"); }, Reason::None, File,
                       Reason::Appeared, Reason::None, "new"},
        DestinationRow{"Folder", [](auto& d, auto&) { fs::create_directory(d / "t"); }, Reason::NotARegularFile,
                       Nothing, Reason::Appeared, Reason::FileAccess, nullptr},
        DestinationRow{"LinkToAFileOutside",
                       [](auto& d, auto& o) { fs::create_symlink(o / "victim.txt", d / "t"); }, Reason::None, File,
                       Reason::Appeared, Reason::None, "new"},
        DestinationRow{"LinkToAFolderOutside", [](auto& d, auto& o) { fs::create_directory_symlink(o, d / "t"); },
                       Reason::NotARegularFile, Nothing, Reason::Appeared, Reason::None, "new"},
        DestinationRow{"Fifo", [](auto& d, auto&) { ::mkfifo((d / "t").c_str(), 0644); }, Reason::NotARegularFile,
                       Nothing, Reason::Appeared, Reason::None, "new"},
        DestinationRow{"TheArchive",
                       [](auto& d, auto&) {
                           WriteFile(d / "t", "zip");
                           fs::create_hard_link(d / "t", d.parent_path() / "archive.zip");
                       },
                       Reason::IsTheArchive, Nothing, Reason::Appeared, Reason::None, "new"},
        DestinationRow{"LinkToTheContainer",
                       [](auto& d, auto&) {
                           WriteFile(d.parent_path() / "container.ezc", "ezc");
                           fs::create_symlink(d.parent_path() / "container.ezc", d / "t");
                       },
                       Reason::IsTheContainer, Nothing, Reason::Appeared, Reason::None, "new"}),
    [](const auto& info) { return std::string(info.param.name); });

// A folder on the way that is swapped for a link to somewhere else while the
// run goes on: what was opened before keeps its folder (wherever it has been
// moved), and nothing is ever made through the link.
TEST(EntryWriterTest, AFolderSwappedForALinkIsNeverFollowed) {
    test::TempDir sandbox;
    const fs::path destination = sandbox / "dest";
    fs::create_directories(sandbox / "outside");
    EntryWriter writer(destination);
    EntryWriter::Place early;
    ASSERT_TRUE(writer.Prepare("sub/early", false, early).Succeeded());

    fs::rename(destination / "sub", destination / "moved");
    fs::create_directory_symlink(sandbox / "outside", destination / "sub");
    ASSERT_TRUE(Write(writer, "sub/later", "later", false).Succeeded());  // the open folder, now "moved"
    const auto fill = [](FileHandle& file) {
        file.WriteAll("early", 5);
        return ZipResult::Success;
    };
    ASSERT_TRUE(writer.WriteFile(early, PlainFile(), EntryTimes{}, fill, false).Succeeded());

    EntryWriter fresh(destination);
    EXPECT_EQ(Write(fresh, "sub/fresh", "fresh", false).failure.reason, Reason::FolderIsLink);
    EXPECT_EQ(test::FolderEntries(sandbox / "outside"), std::vector<std::string>{});
    EXPECT_EQ(test::FolderEntries(destination / "moved"), (std::vector<std::string>{"early", "later"}));
}

// While a file is written it has no name in its folder, so an end at any
// moment leaves nothing of it there; one that fails leaves nothing at all.
TEST(EntryWriterTest, AFileHasItsNameOnlyOnceComplete) {
    test::TempDir sandbox;
    EntryWriter writer(sandbox.Path());
    EntryWriter::Place place;
    ASSERT_TRUE(writer.Prepare("f.bin", false, place).Succeeded());
    for (const ZipResult written : {ZipResult::CorruptArchive, ZipResult::Success}) {
        std::vector<std::string> seenWhileWriting;
        const auto fill = [&](FileHandle& file) {
            file.WriteAll("half", 4);
            seenWhileWriting = test::FolderEntries(sandbox.Path());
            return written;
        };
        EXPECT_EQ(writer.WriteFile(place, PlainFile(), EntryTimes{}, fill, false).result, written);
        EXPECT_EQ(seenWhileWriting, std::vector<std::string>{});
    }
    EXPECT_EQ(test::FolderEntries(sandbox.Path()), std::vector<std::string>{"f.bin"});
    EXPECT_EQ(ReadText(sandbox / "f.bin"), "half");
}

// Names beyond what the system allows fail as their entry, whatever their depth.
TEST(EntryWriterTest, TargetsBeyondTheSystemsLimitsFailAsTheirEntry) {
    test::TempDir sandbox;
    EntryWriter writer(sandbox.Path());
    std::string deep;
    for (int level = 0; level < 30000; ++level) {
        deep += "a/";
    }
    for (const std::string& name : {deep + "f", std::string(300, 'n'), std::string(300, 'd') + "/f"}) {
        EntryWriter::Place place;
        EXPECT_EQ(writer.Prepare(name, false, place).failure.reason, Reason::PathTooLong);
    }
    EXPECT_EQ(test::FolderEntries(sandbox.Path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace vaultpack
