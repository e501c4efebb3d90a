// The unzip job driven by a scripted host: extraction below the destination,
// the overwrite question, failed and hostile entries, cancellation, files
// made ahead on worker threads and the removal of a decrypted archive.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>

#include <sys/stat.h>

#include "files/TemporaryFileRegistry.h"
#include "jobs/Jobs.h"
#include "zip/ZipResult.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/support/ResourceLimits.h"
#include "tests/support/ScriptedJobHost.h"
#include "tests/zip/ZipTestSupport.h"

namespace vaultpack {
namespace {

using test::Files;
using test::FolderContents;
using test::PrintTo;
using test::RunJob;
using test::RawEntry;
using test::ReadText;
using Strings = std::vector<std::string>;

class UnzipJobTest : public testing::Test {
public:
    UnzipJobTest() { std::filesystem::create_directory(destination); }

    std::filesystem::path Archive(const std::vector<RawEntry>& entries) const {
        test::WriteRawZip(sandbox / "in.zip", entries);
        return sandbox / "in.zip";
    }

    FileJobParams Params(const std::filesystem::path& archive, bool deleteAfter = false) const {
        return {{archive}, {destination}, deleteAfter};
    }

    test::JobSandbox sandbox;
    test::ScriptedJobHost host;
    std::filesystem::path destination = sandbox / "dest";
};

const std::vector<RawEntry> kThreeFiles{{"one.txt", "1"}, {"two.txt", "2"}, {"three.txt", "3"}};

// The texts of the count message, the overwrite question and a failed entry.
std::string Count(int extracted, int entries) {
    return std::to_string(extracted) + " out of " + std::to_string(entries) + " files have been unzipped successfully";
}
std::string Exists(const std::filesystem::path& target) {
    return "\"" + target.string() + "\" already exists, overwrite it?";
}
std::string Failed(const std::string& reason, const std::string& what) {
    return reason + "\n(" + what + ")\nContinue with next file?";
}

// The progress position at which the first message box came up.
std::string PositionOfFirstMessage(const Strings& calls) {
    std::string position;
    for (const std::string& call : calls) {
        if (call.starts_with("message")) {
            return position;
        }
        if (call.starts_with("position")) {
            position = call;
        }
    }
    return {};
}

TEST_F(UnzipJobTest, AsksForArchiveAndFolderAndExtractsEveryEntryBelowIt) {
    const auto archive = Archive({{"top.txt", "T"}, {"a/b/c.txt", "C"}, {"empty/", "", 0x10}});
    host.Expect("open zip", archive.string()).Expect("folder 125", destination.string());
    EXPECT_EQ(RunJob(RunUnzipJob, FileJobParams{}, host), JobOutcome::Succeeded);

    EXPECT_EQ(FolderContents(destination), (Files{{"a", "<folder>"}, {"a/b", "<folder>"}, {"a/b/c.txt", "C"},
                                                   {"empty", "<folder>"}, {"top.txt", "T"}}));
    EXPECT_EQ(host.progress.title, MessageId::UnzippingProgressTitle);
    EXPECT_EQ(host.progress.cancelCaption, MessageId::Cancel);
    EXPECT_EQ(host.statuses, (Strings{"Start unziping...", "Unzipping \"top.txt\"", "Unzipping \"a/b/c.txt\"",
                                      "Unzipping \"empty/\""}));
    // The count shows with the bar full.
    EXPECT_EQ(PositionOfFirstMessage(host.calls), "position 3");
    EXPECT_EQ(host.progress.range, 3u);
    EXPECT_EQ(host.progress.amounts, (ProgressAmounts{3, 3, 0}));
    EXPECT_EQ(host.messageTexts, Strings{Count(3, 3)});
    EXPECT_EQ(host.messages[0].caption, MessageId::CaptionInformation);
    EXPECT_TRUE(std::filesystem::exists(archive));

    test::ScriptedJobHost noFolder;
    noFolder.Expect("open zip", archive.string()).Expect("folder 125", std::nullopt);
    EXPECT_EQ(RunJob(RunUnzipJob, FileJobParams{}, noFolder), JobOutcome::NothingDone);
    EXPECT_FALSE(noFolder.progress.shown);
    EXPECT_TRUE(noFolder.messages.empty());
}

TEST_F(UnzipJobTest, ArchivesThatCannotBeReadOrHoldNothing) {
    EXPECT_EQ(RunJob(RunUnzipJob, Params(sandbox.Write("text.zip", "plain text, not an archive")), host), JobOutcome::Failed);
    EXPECT_FALSE(host.progress.shown);
    EXPECT_EQ(host.messageTexts, Strings{"Failed to open zip file\n\"" + (sandbox / "text.zip").string() +
                                         "\" is not a ZIP archive, or its directory is damaged"});
    EXPECT_EQ(host.messages.at(0).owner, MessageOwner::None);

    test::ScriptedJobHost empty;
    EXPECT_EQ(RunJob(RunUnzipJob, Params(Archive({})), empty), JobOutcome::Succeeded);
    EXPECT_TRUE(empty.progress.shown);
    EXPECT_EQ(empty.progress.title, MessageId::UnzippingProgressTitle);
    EXPECT_EQ(empty.statuses, Strings{"Start unziping..."});
    EXPECT_EQ(empty.messageTexts.at(0), Count(0, 0));
}

struct OverwriteRow {
    const char* name;
    std::vector<const char*> answers;  // to the questions for two.txt, then three.txt
    int extracted;
    std::string second, third;  // two.txt and three.txt afterwards
    JobOutcome outcome;
    std::optional<bool> replaceAll{};  // answered before the run (Yes to All when decrypting)
};

class UnzipOverwriteTest : public UnzipJobTest, public testing::WithParamInterface<OverwriteRow> {};

// Two entries meet existing files: each answer counts for its file, except
// Yes to All and No to All, which answer the rest of the run too.
TEST_P(UnzipOverwriteTest, AsksBeforeReplacing) {
    const OverwriteRow& row = GetParam();
    test::WriteFile(destination / "two.txt", "old");
    test::WriteFile(destination / "three.txt", "old");
    Strings expectedTexts;
    for (const char* answer : row.answers) {
        host.Expect("message 127", answer);
    }
    for (const char* target : {"two.txt", "three.txt"}) {
        if (expectedTexts.size() < row.answers.size()) {
            expectedTexts.push_back(Exists(destination / target));
        }
    }
    expectedTexts.push_back(Count(row.extracted, 3));

    FileJobParams params = Params(Archive(kThreeFiles));
    params.replaceAll = row.replaceAll;
    EXPECT_EQ(RunJob(RunUnzipJob, params, host), row.outcome);

    EXPECT_EQ(host.messageTexts, expectedTexts);
    if (!row.answers.empty()) {
        EXPECT_EQ(host.messages[0].buttons, MessageButtons::YesNoAllCancel);
        EXPECT_EQ(host.messages[0].caption, MessageId::CaptionQuestion);
    }
    EXPECT_EQ(ReadText(destination / "two.txt"), row.second);
    EXPECT_EQ(ReadText(destination / "three.txt"), row.third);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnzipOverwriteTest,
    testing::Values(OverwriteRow{"Yes", {"Yes", "No"}, 2, "2", "old", JobOutcome::Succeeded},
                    OverwriteRow{"No", {"No", "Yes"}, 2, "old", "3", JobOutcome::Succeeded},
                    OverwriteRow{"Cancel", {"Cancel"}, 1, "old", "old", JobOutcome::Cancelled},
                    OverwriteRow{"YesToAll", {"YesToAll"}, 3, "2", "3", JobOutcome::Succeeded},
                    OverwriteRow{"NoToAll", {"NoToAll"}, 1, "old", "old", JobOutcome::Succeeded},
                    OverwriteRow{"GivenYesToAll", {}, 3, "2", "3", JobOutcome::Succeeded, true},
                    OverwriteRow{"GivenNoToAll", {}, 1, "old", "old", JobOutcome::Succeeded, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Entries that fail, lead out of the destination or are of kinds that are not
// extracted are reported and not counted, and never write outside the
// destination; a file replaced by a failed entry stays as it was; links in
// the destination, or made by the archive, are neither written through nor
// followed; a link entry is restored only when it points inside; No stops.
TEST_F(UnzipJobTest, HostileArchive) {
    test::UseTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::string absolute = (sandbox / "evil.txt").string();
    constexpr std::uint32_t kUnixFile = S_IFREG << 16;
    constexpr std::uint32_t kLink = static_cast<std::uint32_t>(S_IFLNK | 0777) << 16;
    const auto archive = Archive({
        {"data.txt", std::string(10000, 'x')},  // damaged below
        {"Folder/", "", 0x10},
        {"../evil.txt", "evil"},
        {absolute, "evil"},
        {"C:evil.txt", "evil"},
        {"..\\evil.txt", "evil"},
        {".", "evil"},
        {"link", "/etc/passwd", kLink, 3},
        {"Folder/up", "../../outside", kLink, 3},
        {"Folder/root", "..", kLink, 3},
        {"Folder/root/evil.txt", "evil"},
        {"secret.txt", "encrypted", kUnixFile | 0644 << 16, 3, 0x5A210000, 1},
        {"tool", "#!/bin/sh\n", kUnixFile | 04755 << 16, 3},
        {"\x81" "ber.txt", "dos", 0x01, 0},
        {"fine.txt", "fine"},
        {"linked/evil.txt", "evil"},
        {"after.txt", "after"},
    });
    std::string bytes = ReadText(archive);
    bytes[30 + 8 + 4] ^= 0x55;  // the deflated data after the first local header and its name
    test::WriteFile(archive, bytes);
    test::WriteFile(destination / "data.txt", "old");
    test::WriteFile(sandbox / "victim.txt", "keep");
    std::filesystem::create_symlink(sandbox / "victim.txt", destination / "fine.txt");
    std::filesystem::create_directory(sandbox / "outside");
    std::filesystem::create_directory_symlink(sandbox / "outside", destination / "linked");
    host.Expect("message 127", "Yes");
    for (int failure = 0; failure < 9; ++failure) {
        host.Expect("message 111", "Yes");
    }
    // secret.txt is flagged as encrypted, but its data is too short for the header.
    host.Expect("password", "guess").Expect("message 111", "Yes");
    host.Expect("message 127", "Yes").Expect("message 111", "No");

    EXPECT_EQ(RunJob(RunUnzipJob, Params(archive), host), JobOutcome::Failed);

    const std::string corrupt(ZipResultText(ZipResult::CorruptArchive));
    const std::string linked = (destination / "linked").string();
    const std::string root = (destination / "Folder/root").string();
    const auto LinkOut = [](const std::string& name, const std::string& target) {
        return "\"" + name + "\" is a symbolic link to \"" + target +
               "\", which leads out of the destination folder; it is not restored";
    };
    EXPECT_EQ(host.messageTexts,
              (Strings{Exists(destination / "data.txt"), Failed(corrupt, (destination / "data.txt").string()),
                       Failed("The entry name leads out of the destination folder (\"..\")", "../evil.txt"),
                       Failed("The entry name is an absolute path outside the destination folder", absolute),
                       Failed("The entry name starts with a drive letter", "C:evil.txt"),
                       Failed("The entry name contains a backslash", "..\\evil.txt"),
                       Failed("The entry name does not name a file", "."),
                       Failed(LinkOut("link", "/etc/passwd"), (destination / "link").string()),
                       Failed(LinkOut("Folder/up", "../../outside"), (destination / "Folder/up").string()),
                       Failed("\"" + root + "\" is a symbolic link, which is not followed", root + "/evil.txt"),
                       Failed(corrupt, (destination / "secret.txt").string()),
                       Exists(destination / "fine.txt"),
                       Failed("\"" + linked + "\" is a symbolic link, which is not followed", linked + "/evil.txt"),
                       Count(5, 17)}));
    EXPECT_EQ(host.messages[1].caption, MessageId::CaptionError);
    EXPECT_EQ(FolderContents(sandbox.Path()),
              (Files{{"dest", "<folder>"}, {"dest/Folder", "<folder>"}, {"dest/Folder/root", "-> .."},
                     {"dest/data.txt", "old"}, {"dest/fine.txt", "fine"}, {"dest/linked", "-> " + (sandbox / "outside").string()},
                     {"dest/tool", "#!/bin/sh\n"}, {"dest/über.txt", "dos"}, {"in.zip", bytes},
                     {"outside", "<folder>"}, {"tmp", "<folder>"}, {"victim.txt", "keep"}}));
    const auto tree = test::ReadTree(destination);
    EXPECT_EQ(tree.at("tool").permissions, 0755u);  // never set-user-id
    EXPECT_EQ(tree.at("über.txt").permissions & 0222, 0u);
    EXPECT_EQ(tree.at("über.txt").lastWriteTime, 1735686000);  // its DOS time, 1 January 2025 00:00 in CET
}

// Entries this facility does not extract, and a folder that takes no file,
// each say why in their own words.
TEST_F(UnzipJobTest, FailedEntriesSayWhy) {
    constexpr std::uint32_t kDevice = static_cast<std::uint32_t>(S_IFCHR | 0644) << 16;
    std::string deep;
    for (int level = 0; level < 8000; ++level) {
        deep += "a/";
    }
    std::string bytes = ReadText(Archive({{"packed.bin", "data"}, {"null", "", kDevice, 3}, {deep + "f", "deep"}}));
    // packed.bin's method, in its local header and in its directory record: 12 (bzip2).
    bytes[8] = 12;
    bytes[bytes.find("PK\x01\x02") + 10] = 12;
    test::WriteFile(sandbox / "in.zip", bytes);
    for (int failure = 0; failure < 3; ++failure) {
        host.Expect("message 111", "Yes");
    }
    // A name far beyond the system's limits takes no more memory than its length.
    const bool peakReset = test::ResetPeakMemory();
    const long before = test::ResidentMemoryKiB();
    EXPECT_EQ(RunJob(RunUnzipJob, Params(sandbox / "in.zip"), host), JobOutcome::Failed);
    if (peakReset && !test::UnderSanitizer()) {
        EXPECT_LT(test::PeakMemoryKiB() - before, 64 * 1024);
    }
    const std::string tooLong = (destination / deep).string().substr(0, 200) + "...";

    test::ScriptedJobHost unwritable;
    unwritable.Expect("message 111", "No");
    EXPECT_EQ(RunJob(RunUnzipJob, {{Archive(kThreeFiles)}, {"/proc"}, false}, unwritable), JobOutcome::Failed);

    EXPECT_EQ(host.messageTexts,
              (Strings{Failed("\"packed.bin\" uses compression method 12, which is not supported",
                              (destination / "packed.bin").string()),
                       Failed("\"null\" is a device or another special file, which is not extracted",
                              (destination / "null").string()),
                       Failed("\"" + tooLong + "\" is longer than the system allows for a file name or path", tooLong),
                       Count(0, 3)}));
    EXPECT_EQ(unwritable.messageTexts.at(0),
              Failed("Cannot create a temporary file in \"/proc\": " + std::string(std::strerror(ENOENT)),
                     "/proc/one.txt"));
}

// An entry of a kind that is not extracted asks first about a file in its
// place, as any entry does: declined, the file stays and the entry is skipped.
TEST_F(UnzipJobTest, AnUnextractedKindAsksBeforeItIsRefused) {
    std::string bytes = ReadText(Archive({{"packed.bin", "data"}}));
    bytes[8] = 12;  // bzip2, in the local header and in the directory record
    bytes[bytes.find("PK\x01\x02") + 10] = 12;
    test::WriteFile(sandbox / "in.zip", bytes);
    test::WriteFile(destination / "packed.bin", "mine");
    host.Expect("message 127", "No");

    EXPECT_EQ(RunJob(RunUnzipJob, Params(sandbox / "in.zip"), host), JobOutcome::NothingDone);

    EXPECT_EQ(host.messageTexts, (Strings{Exists(destination / "packed.bin"), Count(0, 1)}));
    EXPECT_EQ(ReadText(destination / "packed.bin"), "mine");
}

// The longest name the system allows is extracted, as a file and as a
// folder; one byte more fails as its entry, with the reason.
TEST_F(UnzipJobTest, NamesAtTheSystemsLimitExtractAndOneByteMoreFails) {
    const std::string longest(NAME_MAX, 'n'), folder(NAME_MAX, 'd'), over(NAME_MAX + 1, 'o');
    host.Expect("message 111", "Yes");
    const auto archive = Archive({{longest, "file"}, {folder + "/f", "in folder"}, {over, "over"}});
    EXPECT_EQ(RunJob(RunUnzipJob, Params(archive), host), JobOutcome::Failed);
    EXPECT_EQ(ReadText(destination / longest), "file");
    EXPECT_EQ(ReadText(destination / folder / "f"), "in folder");
    EXPECT_EQ(test::FolderEntries(destination), (Strings{folder, longest}));
    ASSERT_EQ(host.messageTexts.size(), 2u);
    EXPECT_NE(host.messageTexts.at(0).find("is longer than the system allows for a file name or path"),
              std::string::npos)
        << host.messageTexts.at(0);
    EXPECT_EQ(host.messageTexts.at(1), Count(2, 3));
}

// A write that fails while a large entry streams to its file fails the entry
// with the system's reason, and no part of the file stays.
TEST_F(UnzipJobTest, WriteFailureWhileStreamingALargeEntry) {
    const auto archive = Archive({{"large.bin", test::RandomText(20 << 20, 4)}, {"after.txt", "a"}});
    host.Expect("message 111", "No");
    JobOutcome outcome = JobOutcome::Succeeded;
    {
        const test::ScopedFileSizeLimit small(4 << 20);
        outcome = RunJob(RunUnzipJob, Params(archive), host);
    }

    EXPECT_EQ(outcome, JobOutcome::Failed);
    ASSERT_FALSE(host.messageTexts.empty());
    const std::string large = (destination / "large.bin").string();
    EXPECT_EQ(host.messageTexts[0], Failed("Cannot write \"" + large + "\": " + std::strerror(EFBIG), large));
    EXPECT_EQ(test::FolderEntries(destination), Strings{});
}

// A file that appears while its entry is written, where nothing stood before, is kept.
TEST_F(UnzipJobTest, FileThatAppearsMeanwhileIsKept) {
    const auto appeared = destination / "two.txt";
    // The second entry begins with its position; its extraction polls the cancel flag.
    bool secondEntry = false;
    host.onPosition = [&](int count) { secondEntry = count == 2; };
    host.onCancelCheck = [&] {
        if (secondEntry && !std::filesystem::exists(appeared)) {
            test::WriteFile(appeared, std::string("appeared"));
        }
    };
    host.Expect("message 111", "Yes");
    EXPECT_EQ(RunJob(RunUnzipJob, Params(Archive(kThreeFiles)), host), JobOutcome::Failed);
    EXPECT_EQ(host.messageTexts.at(0), Failed("\"" + appeared.string() +
                                                  "\" appeared while the output was being written; it was kept and "
                                                  "nothing was put in its place",
                                              appeared.string()));
    EXPECT_EQ(FolderContents(destination), (Files{{"one.txt", "1"}, {"three.txt", "3"}, {"two.txt", "appeared"}}));
}

// A destination that cannot be a folder fails the entries, saying why; No stops.
TEST_F(UnzipJobTest, DestinationThatIsAFile) {
    const auto blocked = sandbox.Write("blocked", "a file");
    host.Expect("message 111", "No");

    EXPECT_EQ(RunJob(RunUnzipJob, {{Archive(kThreeFiles)}, {blocked}, false}, host), JobOutcome::Failed);

    const std::string reason = std::make_error_code(std::errc::not_a_directory).message();
    EXPECT_EQ(host.messageTexts,
              (Strings{Failed("Cannot use the destination folder \"" + blocked.string() + "\": " + reason,
                              (blocked / "one.txt").string()),
                       Count(0, 3)}));
    EXPECT_EQ(ReadText(blocked), "a file");
}

TEST_F(UnzipJobTest, CancelStopsWithinTheEntryAndStillRemovesADecryptedArchive) {
    const auto archive = Archive(kThreeFiles);
    host.CancelAtPosition(2);  // as the second entry begins
    EXPECT_EQ(RunJob(RunUnzipJob, Params(archive, true), host), JobOutcome::Cancelled);
    EXPECT_EQ(FolderContents(destination), (Files{{"one.txt", "1"}}));
    // The window stops at the second entry, which is not extracted.
    EXPECT_EQ(host.statuses.back(), "Unzipping \"two.txt\"");
    EXPECT_EQ(host.progress.position, 1u);
    EXPECT_EQ(host.messageTexts, Strings{Count(1, 3)});
    EXPECT_FALSE(std::filesystem::exists(archive));
}

// Extracted into its own folder after a decryption, the archive holds files
// named like itself and like its container: neither is replaced, even when
// replacing is allowed, and the decrypted archive is still removed.
TEST_F(UnzipJobTest, NeverReplacesTheArchiveOrItsContainer) {
    const auto archive = Archive({{"in.zip", "inner"}, {"box.ezc", "inner"}, {"other.txt", "o"}});
    const auto container = sandbox.Write("box.ezc", "container");
    host.Expect("message 111", "Yes").Expect("message 111", "Yes");
    EXPECT_EQ(RunJob(RunUnzipJob, {{archive}, {sandbox.Path()}, true, container}, host), JobOutcome::Failed);
    EXPECT_EQ(host.messageTexts,
              (Strings{Failed("\"" + archive.string() + "\" is the archive being extracted, so it is not replaced",
                              archive.string()),
                       Failed("\"" + container.string() +
                                  "\" is the encrypted file the archive came from, so it is not replaced",
                              container.string()),
                       Count(1, 3)}));
    EXPECT_FALSE(std::filesystem::exists(archive));
    EXPECT_EQ(ReadText(container), "container");
    EXPECT_EQ(ReadText(sandbox / "other.txt"), "o");
}

// Enough entries for worker threads: folders d0/ to d2/ and e/d3/ (with no
// entry for e/), each followed by 80 files. Entry 122 is d1/f40.txt.
std::vector<RawEntry> ManyEntries() {
    std::vector<RawEntry> entries;
    for (int folder = 0; folder < 4; ++folder) {
        const std::string name = (folder == 3 ? "e/d" : "d") + std::to_string(folder) + "/";
        entries.push_back({name, "", 0x10});
        for (int file = 0; file < 80; ++file) {
            const std::string fileName = name + "f" + std::to_string(file) + ".txt";
            entries.push_back({fileName, fileName});
        }
    }
    return entries;
}

// What extracting the first `count` entries in order leaves.
Files FirstEntries(const std::vector<RawEntry>& entries, std::size_t count) {
    Files files;
    for (std::size_t index = 0; index < count; ++index) {
        const RawEntry& entry = entries[index];
        for (std::size_t slash = entry.name.find('/'); slash != std::string::npos && slash + 1 < entry.name.size();
             slash = entry.name.find('/', slash + 1)) {
            files[entry.name.substr(0, slash)] = "<folder>";
        }
        files[entry.name.back() == '/' ? entry.name.substr(0, entry.name.size() - 1) : entry.name] =
            entry.name.back() == '/' ? "<folder>" : entry.data;
    }
    return files;
}

// Lets the workers make files ahead up to `last`, also in folders that the
// entries in order have not reached yet; false when they do not within
// `milliseconds`.
bool AwaitWorkers(const std::filesystem::path& last, int milliseconds = 10000) {
    for (int wait = 0; wait < milliseconds && !std::filesystem::exists(last); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::filesystem::exists(last);
}

// Every slot of the cleanup registry taken while it lives; madeFiles counts
// those it found free for made files.
struct FullRegistry {
    FullRegistry() {
        for (int token = 0; (token = RegisterTemporaryPath(path)) >= 0;) {
            tokens.push_back(token);
        }
        for (int token = 0; (token = RegisterMadeFile(&file)) >= 0; ++madeFiles) {
            tokens.push_back(token);
        }
    }
    ~FullRegistry() {
        for (const int token : tokens) {
            UnregisterTemporaryPath(token);
        }
    }
    const char* path = "/nonexistent/vaultpack-test-slot";
    const MadeFile file{-1, path, 0, 0};
    std::vector<int> tokens;
    int madeFiles = 0;
};

// Files and folders made ahead of a cancel are removed again: what stays is
// exactly what the entries before the cancel point made, also a folder made
// ahead that an entry before it needed (the cancel comes right after d2/).
// Nothing stays registered for removal: a registration left with a slot
// that is reused would remove what a later entry makes in it.
TEST_F(UnzipJobTest, CancelAmongFilesMadeAheadLeavesTheEntriesBeforeIt) {
    const std::vector<RawEntry> entries = ManyEntries();
    const struct {
        int awaitAt;
        int cancelAt;  // the position as entry cancelAt - 1 begins
        const char* awaited;
    } cases[] = {{200, 200, "e/d3/f79.txt"}, {150, 164, "d2/f79.txt"}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.cancelAt);
        std::filesystem::remove_all(destination);
        std::filesystem::create_directory(destination);
        test::ScriptedJobHost cancelling;
        cancelling.CancelAtPosition(row.cancelAt);
        bool madeAhead = false;
        cancelling.onPosition = [&](int count) {
            if (count == row.awaitAt) {
                madeAhead = AwaitWorkers(destination / row.awaited);
            }
        };
        EXPECT_EQ(RunJob(RunUnzipJob, Params(Archive(entries)), cancelling), JobOutcome::Cancelled);
        EXPECT_TRUE(madeAhead);
        EXPECT_EQ(FolderContents(destination), FirstEntries(entries, static_cast<std::size_t>(row.cancelAt - 1)));
        EXPECT_EQ(cancelling.messageTexts, Strings{Count(row.cancelAt - 1, 324)});
        EXPECT_EQ(FullRegistry().madeFiles, kMadeFileSlots);
    }
}

// A selection of entries (every third, which keeps no folder entry in d1 and
// d2) lands alone, also where the workers make files ahead; the count is the
// selection's.
TEST_F(UnzipJobTest, ASelectionLandsOnlyItsEntries) {
    const std::vector<RawEntry> entries = ManyEntries();
    FileJobParams params = Params(Archive(entries));
    Files expected;
    for (std::size_t index = 0; index < entries.size(); index += 3) {
        params.entries.push_back(static_cast<std::int64_t>(index));
        const RawEntry& entry = entries[index];
        const Files one = FirstEntries({entry}, 1);
        expected.insert(one.begin(), one.end());
    }
    EXPECT_EQ(RunJob(RunUnzipJob, params, host), JobOutcome::Succeeded);
    EXPECT_EQ(FolderContents(destination), expected);
    EXPECT_EQ(host.messageTexts, Strings{Count(108, 108)});
}

// So does an exception on the job's thread (out of memory, say) at an entry
// whose file a worker made ahead: the file goes with the others made ahead.
TEST_F(UnzipJobTest, AnExceptionAtAnEntryMadeAheadLeavesTheEntriesBeforeIt) {
    const std::vector<RawEntry> entries = ManyEntries();
    bool madeAhead = false;
    host.onPosition = [&](int count) {
        if (count == 150) {
            madeAhead = AwaitWorkers(destination / "d2/f79.txt");
            throw std::bad_alloc();
        }
    };
    EXPECT_EQ(RunJob(RunUnzipJob, Params(Archive(entries)), host), JobOutcome::Failed);
    EXPECT_TRUE(madeAhead);
    EXPECT_EQ(FolderContents(destination), FirstEntries(entries, 149));
}

// Entries that the job's thread refuses are refused as well when there are
// enough of them for worker threads: a method other than stored and deflated
// (the data is deflate, which workers must not read as such), and a name
// whose last component names no file ("d/9/."). Nothing of them stays.
TEST_F(UnzipJobTest, WorkersRefuseWhatTheJobsThreadRefuses) {
    std::vector<RawEntry> entries;
    for (int file = 0; file < 100; ++file) {
        entries.push_back({"d/" + std::to_string(file) + (file % 10 == 9 ? "/." : ".txt"), "made"});
    }
    std::string bytes = ReadText(Archive(entries));
    // The method of the ".txt" entries, in their local and central headers.
    for (const auto& [header, method, length, name] :
         {std::tuple{"PK\x03\x04", 8, 26, 30}, std::tuple{"PK\x01\x02", 10, 28, 46}}) {
        for (std::size_t at = bytes.find(header); at != std::string::npos; at = bytes.find(header, at + 4)) {
            const std::size_t nameLength = static_cast<unsigned char>(bytes[at + length]);
            if (bytes.compare(at + name + nameLength - 4, 4, ".txt") == 0) {
                bytes[at + method] = 14;
            }
        }
    }
    test::WriteFile(sandbox / "in.zip", bytes);
    for (std::size_t failure = 0; failure < entries.size(); ++failure) {
        host.Expect("message 111", "Yes");
    }
    EXPECT_EQ(RunJob(RunUnzipJob, Params(sandbox / "in.zip"), host), JobOutcome::Failed);
    EXPECT_EQ(host.messageTexts.back(), Count(0, 100));
    EXPECT_EQ(FolderContents(destination), (Files{{"d", "<folder>"}}));  // made in order before the first refusal
}

// The folder being filled is swapped during the run, after workers have
// made files ahead in it: for a link to a folder outside, or for a folder of
// the user's files with the same names, then the job is cancelled. Nothing is
// written through the link, and none of the user's files is removed: every
// entry goes to the folder opened for it, wherever that has been moved.
TEST_F(UnzipJobTest, AFolderSwappedDuringTheRunIsNeitherWrittenThroughNorEmptied) {
    std::vector<RawEntry> entries{{"sub/", "", 0x10}};
    for (int file = 0; file < 300; ++file) {
        // Every tenth entry is large, which the job's own thread writes.
        entries.push_back({"sub/f" + std::to_string(file), file % 10 == 0 ? std::string(3 << 19, 'x') : "made"});
    }
    const auto archive = Archive(entries);
    const std::filesystem::path sub = destination / "sub", outside = sandbox / "outside";
    for (const bool usersFolder : {false, true}) {
        SCOPED_TRACE(usersFolder ? "user's folder, then cancel" : "link to outside");
        std::filesystem::remove_all(destination);
        std::filesystem::remove_all(outside);
        std::filesystem::create_directories(outside);
        test::ScriptedJobHost swapping;
        if (usersFolder) {
            swapping.CancelAtPosition(141);
        }
        swapping.onPosition = [&](int count) {
            if (count != 140 || !AwaitWorkers(sub / "f251")) {
                return;
            }
            std::filesystem::rename(sub, destination / "moved");
            if (!usersFolder) {
                std::filesystem::create_directory_symlink(outside, sub);
                return;
            }
            std::filesystem::create_directory(sub);
            for (int file = 0; file < 300; ++file) {
                test::WriteFile(sub / ("f" + std::to_string(file)), "user");
            }
        };
        RunJob(RunUnzipJob, Params(archive), swapping);
        ASSERT_TRUE(std::filesystem::exists(destination / "moved"));  // the swap happened
        EXPECT_EQ(test::FolderEntries(outside), Strings{});
        if (usersFolder) {
            const Files users = FolderContents(sub);
            EXPECT_EQ(users.size(), 300u);
            EXPECT_TRUE(std::all_of(users.begin(), users.end(), [](const auto& file) { return file.second == "user"; }));
        } else {
            EXPECT_EQ(FolderContents(destination / "moved").size(), 300u);
        }
    }
}

struct MiddleEntryRow {
    const char* name;
    bool damaged;        // the entry's data is damaged; otherwise its file exists
    const char* answer;  // to the overwrite question or to "Continue with next file?"
    std::optional<std::string> left;  // d1/f40.txt afterwards, "new" for the entry's data
    int extracted;
    JobOutcome outcome;
};

class UnzipMiddleEntryTest : public UnzipJobTest, public testing::WithParamInterface<MiddleEntryRow> {};

// Among entries made ahead, one in the middle that has a file in its place or
// damaged data gets its question at its turn; only Yes replaces the file, and
// No to continuing leaves nothing of the entries after it.
TEST_P(UnzipMiddleEntryTest, GetsItsQuestionInOrder) {
    const MiddleEntryRow& row = GetParam();
    const std::vector<RawEntry> entries = ManyEntries();
    const std::filesystem::path middle = destination / "d1/f40.txt";
    const std::filesystem::path archive = Archive(entries);
    if (row.damaged) {
        std::string bytes = ReadText(archive);
        bytes[bytes.find("d1/f40.txt") + 10] ^= 0x55;  // the first byte of its data
        test::WriteFile(archive, bytes);
    } else {
        std::filesystem::create_directory(destination / "d1");
        test::WriteFile(middle, std::string("old"));
    }
    host.Expect(row.damaged ? "message 111" : "message 127", row.answer);
    bool firstMessage = true;
    bool madeAhead = false;
    host.onMessage = [&] {
        if (std::exchange(firstMessage, false)) {
            madeAhead = AwaitWorkers(destination / "d1/f79.txt");
        }
    };

    EXPECT_EQ(RunJob(RunUnzipJob, Params(archive), host), row.outcome);

    EXPECT_TRUE(madeAhead);
    Files expected = FirstEntries(entries, row.answer == std::string("No") && row.damaged ? 122 : entries.size());
    expected.erase("d1/f40.txt");
    if (row.left) {
        expected["d1/f40.txt"] = *row.left == "new" ? entries[122].data : *row.left;
    }
    EXPECT_EQ(FolderContents(destination), expected);
    const std::string question = row.damaged ? Failed(std::string(ZipResultText(ZipResult::CorruptArchive)),
                                                      middle.string())
                                             : Exists(middle);
    EXPECT_EQ(host.messageTexts, (Strings{question, Count(row.extracted, 324)}));
    EXPECT_EQ(PositionOfFirstMessage(host.calls), "position 122");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnzipMiddleEntryTest,
    testing::Values(MiddleEntryRow{"ExistingYes", false, "Yes", "new", 324, JobOutcome::Succeeded},
                    MiddleEntryRow{"ExistingNo", false, "No", "old", 323, JobOutcome::Succeeded},
                    MiddleEntryRow{"DamagedContinue", true, "Yes", std::nullopt, 323, JobOutcome::Failed},
                    MiddleEntryRow{"DamagedStop", true, "No", std::nullopt, 122, JobOutcome::Failed}),
    [](const auto& info) { return std::string(info.param.name); });

// Files made ahead stay registered for removal at an abrupt end until taken:
// with every slot of the registry taken, the workers make none, and the job's
// thread extracts every entry itself.
TEST_F(UnzipJobTest, WorkersMakeNothingAheadWhenTheCleanupRegistryIsFull) {
    const std::vector<RawEntry> entries = ManyEntries();
    bool madeAhead = true;
    {
        const FullRegistry full;
        // Workers that made files without a slot would have made the rest of d0 by now.
        host.onPosition = [&](int count) {
            if (count == 3) {
                madeAhead = AwaitWorkers(destination / "d0/f79.txt", 300);
            }
        };
        EXPECT_EQ(RunJob(RunUnzipJob, Params(Archive(entries)), host), JobOutcome::Succeeded);
    }
    EXPECT_FALSE(madeAhead);
    EXPECT_EQ(FolderContents(destination), FirstEntries(entries, entries.size()));
}

// An earlier entry left to the job's thread (a large file, a link) at entry
// 10 and a later one whose path clashes with it at entry 100, in a batch of
// its own: the job's thread waits before the earlier one while the workers
// could reach the later one and the entry after it.
class UnzipClashTest : public UnzipJobTest {
public:
    JobOutcome UnzipWithAClash(RawEntry earlier, RawEntry later) {
        std::vector<RawEntry> entries = ManyEntries();
        entries.insert(entries.begin() + 10, std::move(earlier));
        entries.insert(entries.begin() + 100, std::move(later));
        entries.insert(entries.begin() + 101, RawEntry{"d0/after.txt", "a"});
        host.onPosition = [&](int count) {
            if (count == 5) {
                AwaitWorkers(destination / "d0/after.txt", 300);
            }
        };
        return RunJob(RunUnzipJob, Params(Archive(entries)), host);
    }
};

// A file or link that the earlier entry puts where the later entry's folder
// would go keeps the workers from making that folder ahead: the earlier entry
// is made, and the later one fails at its turn.
class UnzipFolderClashTest : public UnzipClashTest, public testing::WithParamInterface<mode_t> {};

TEST_P(UnzipFolderClashTest, LaterEntryFailsAtItsTurn) {
    const std::string x = GetParam() == S_IFLNK ? "d0" : test::RandomText(1536 * 1024, 2);
    host.Expect("message 111", "Yes");

    EXPECT_EQ(UnzipWithAClash({"x", x, static_cast<std::uint32_t>(GetParam() | 0644) << 16, 3}, {"x/y.txt", "y"}),
              JobOutcome::Failed);

    EXPECT_EQ(PositionOfFirstMessage(host.calls), "position 100");
    const std::filesystem::file_status status = std::filesystem::symlink_status(destination / "x");
    EXPECT_EQ(status.type(), GetParam() == S_IFLNK ? std::filesystem::file_type::symlink
                                                  : std::filesystem::file_type::regular);
    EXPECT_FALSE(std::filesystem::exists(destination / "d0/y.txt"));
}

INSTANTIATE_TEST_SUITE_P(FileOrLink, UnzipFolderClashTest, testing::Values(S_IFREG, S_IFLNK));

// The same for a later entry of the same name: the workers leave it to its
// turn, where it is asked about, and the earlier entry's file stays.
TEST_F(UnzipClashTest, LaterEntryOfTheSameNameIsAskedAboutAtItsTurn) {
    const std::string earlier = test::RandomText(1536 * 1024, 2);
    host.Expect("message 127", "No");

    EXPECT_EQ(UnzipWithAClash({"x.txt", earlier}, {"x.txt", "later"}), JobOutcome::Succeeded);

    EXPECT_EQ(PositionOfFirstMessage(host.calls), "position 100");
    EXPECT_EQ(ReadText(destination / "x.txt"), earlier);
}

// A link already in the destination is judged as extracting in order finds
// it: "s" leads to where a later entry makes a folder, so when "s" is
// replaced, that folder is not there yet and the link is a broken one.
TEST_F(UnzipJobTest, LinkInTheDestinationIsReplacedAsInOrder) {
    std::filesystem::create_directory_symlink("a", destination / "s");
    std::vector<RawEntry> entries = ManyEntries();
    entries.insert(entries.begin() + 10, RawEntry{"s", "file"});
    entries.insert(entries.begin() + 20, RawEntry{"a/x.txt", "x"});
    host.Expect("message 127", "Yes");
    // The first worker passes entry 20 while the second makes d0/f79.txt.
    bool madeAhead = false;
    host.onPosition = [&](int count) {
        if (count == 5) {
            madeAhead = AwaitWorkers(destination / "d0/f79.txt");
        }
    };

    EXPECT_EQ(RunJob(RunUnzipJob, Params(Archive(entries)), host), JobOutcome::Succeeded);

    EXPECT_TRUE(madeAhead);
    EXPECT_EQ(host.messageTexts, (Strings{Exists(destination / "s"), Count(326, 326)}));
    EXPECT_EQ(ReadText(destination / "s"), "file");
}

// Encrypted entries (70 in a folder, enough for the workers to make some
// ahead) and one plain entry after them: the password is asked once, again after a wrong one,
// and Cancel leaves the encrypted entries out and says how many, not the plain one.
const std::string kWeak = "Entries protected only by the weak traditional ZIP encryption, which can be broken: 70";

struct PasswordRow {
    const char* name;
    std::vector<std::pair<std::string, std::optional<std::string>>> script;
    int extracted;
    std::vector<std::string> lastLines;  // of the summary, after the count
    JobOutcome outcome;
};

class UnzipPasswordTest : public UnzipJobTest, public testing::WithParamInterface<PasswordRow> {};

TEST_P(UnzipPasswordTest, AsksOncePerArchive) {
    const PasswordRow& row = GetParam();
    const std::filesystem::path source = sandbox / "source";
    std::filesystem::create_directories(source / "secret");
    for (int i = 0; i < 70; ++i) {
        test::WriteFile(source / "secret" / (std::to_string(i) + ".txt"), "secret " + std::to_string(i));
    }
    test::WriteFile(source / "plain.txt", "plain");
    const std::filesystem::path archive = sandbox / "mixed.zip";
    ASSERT_EQ(test::RunCommand("cd " + test::Quote(source) + " && timeout 60 zip -q -r -e -P right " +
                               test::Quote(archive) + " secret && timeout 60 zip -q " + test::Quote(archive) +
                               " plain.txt"),
              0);
    for (const auto& [question, answer] : row.script) {
        host.Expect(question, answer);
    }

    EXPECT_EQ(RunJob(RunUnzipJob, Params(archive), host), row.outcome);

    std::string summary = Count(row.extracted, 72);  // with the folder entry
    for (const std::string& line : row.lastLines) {
        summary += "\n" + line;
    }
    EXPECT_EQ(host.messageTexts.back(), summary);
    // Asked only as the script says (a question beyond it fails the test), once per password.
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "password "),
              static_cast<std::ptrdiff_t>(row.script.size()));
    EXPECT_EQ(std::count(host.messageTexts.begin(), host.messageTexts.end(), "Wrong password!"),
              static_cast<std::ptrdiff_t>(row.script.size()) - 1);
    EXPECT_EQ(ReadText(destination / "plain.txt"), "plain");
    const int files = static_cast<int>(test::FolderEntries(destination / "secret").size());
    EXPECT_EQ(files, row.extracted - 2);
    if (files > 0) {
        EXPECT_EQ(ReadText(destination / "secret" / "69.txt"), "secret 69");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnzipPasswordTest,
    testing::Values(PasswordRow{"Given", {{"password", "right"}}, 72, {kWeak}, JobOutcome::Succeeded},
                    PasswordRow{"WrongThenRight", {{"password", "wrong"}, {"password", "right"}}, 72, {kWeak},
                                JobOutcome::Succeeded},
                    PasswordRow{"Cancelled",
                                {{"password", std::nullopt}},
                                2,
                                {"Encrypted entries skipped, as no password that opens them was given: 70"},
                                JobOutcome::ItemsLeftOut},
                    PasswordRow{"WrongThenCancelled",
                                {{"password", "wrong"}, {"password", std::nullopt}},
                                2,
                                {"Encrypted entries skipped, as no password that opens them was given: 70"},
                                JobOutcome::ItemsLeftOut}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vaultpack
