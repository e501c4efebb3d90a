#include "jobs/ZipReader.h"
#include "jobs/ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include <sys/stat.h>
#include <sys/time.h>

#include "jobs/ZipFormat.h"
#include "tests/jobs/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

constexpr std::uint32_t kUnixFile = S_IFREG << 16;

class ZipRoundTripTest : public testing::Test {
protected:
    void SetUp() override { test::UseTimeZone("CET-1CEST,M3.5.0,M10.5.0/3"); }

    fs::path Source(const std::string& name, const std::vector<unsigned char>& bytes, mode_t mode = 0644) {
        const fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        WriteFile(path, bytes);
        ::chmod(path.c_str(), mode);
        const timeval times[2] = {{kTime - 100, 0}, {kTime, 0}};
        ::utimes(path.c_str(), times);
        return path;
    }

    static constexpr std::time_t kTime = 1700000001;  // an odd second, which DOS time cannot hold
    test::TempDir dir;
};

TEST_F(ZipRoundTripTest, FilesComeBackWithNamesMethodsModesAndTimes) {
    const auto random = test::PseudoRandomBytes(1 << 20);
    const std::vector<std::tuple<std::string, std::vector<unsigned char>, mode_t>> files = {
        {"Folder/Sub/notes.txt", {'h', 'i'}, 0640}, {"data.ZIP", {random.begin(), random.begin() + 5000}, 0644},
        {"backup.tgz", {'x'}, 0755},                {"empty.txt", {}, 0644},
        {"read only.txt", {'r'}, 0444},             {"Ünïcödé ß.bin", random, 0600},
    };
    const fs::path archive = dir / "out.zip";
    auto writer = ZipWriter::Create(archive);
    ASSERT_TRUE(writer);
    for (const auto& [name, content, mode] : files) {
        std::string storedName = name;  // the jobs pass Windows-style separators
        std::replace(storedName.begin(), storedName.end(), '/', '\\');
        ASSERT_EQ(writer->AddFile(storedName, Source("src/" + name, content, mode)), ZipResult::Success) << name;
    }
    ASSERT_EQ(writer->Close(), ZipResult::Success);

    auto reader = ZipReader::Open(archive);
    ASSERT_TRUE(reader);
    ZipEntryInfo info;
    for (std::int64_t i = 0; i < 6; ++i) {
        const auto& [name, content, mode] = files[static_cast<std::size_t>(i)];
        ASSERT_EQ(reader->GetEntry(i, info), ZipResult::Success);
        EXPECT_EQ(info.name, name);
        EXPECT_EQ(info.method, name == "data.ZIP" || name == "backup.tgz" ? 0 : 8) << name;
        EXPECT_EQ(info.mode, S_IFREG | mode) << name;
        EXPECT_EQ(info.externalAttributes & 1, mode == 0444 ? 1u : 0u) << name;  // the DOS read-only bit
        EXPECT_EQ(info.lastWriteTime, kTime) << name;  // from the timestamp field
        EXPECT_EQ(info.uncompressedSize, content.size());
    }
    reader.reset();

    ASSERT_EQ(test::ExtractAll(archive, dir / "out").extracted, 6);
    struct stat status {};
    ::stat((dir / "out" / "empty.txt").c_str(), &status);  // before reading changes the access time
    EXPECT_EQ(status.st_atime, kTime - 100);                 // from the local header's timestamp field
    EXPECT_EQ(test::ReadTree(dir / "out"), test::ReadTree(dir / "src"));
}

TEST_F(ZipRoundTripTest, AddFileRefusesBadInputWithoutSpoilingTheArchive) {
    const fs::path archive = dir / "out.zip";
    const fs::path good = Source("good.txt", {'g'});
    ::mkfifo((dir / "fifo").c_str(), 0600);
    auto writer = ZipWriter::Create(archive);
    ASSERT_TRUE(writer);
    EXPECT_EQ(writer->AddFile("", good), ZipResult::FaultyArguments);
    EXPECT_EQ(writer->AddFile("..\\outside.txt", good), ZipResult::FaultyArguments);
    EXPECT_EQ(writer->AddFile("/etc/x", good), ZipResult::FaultyArguments);
    EXPECT_EQ(writer->AddFile("C:\\x", good), ZipResult::FaultyArguments);
    EXPECT_EQ(writer->AddFile("Folder\\", good), ZipResult::FaultyArguments);
    EXPECT_EQ(writer->AddFile("Folder/.", good), ZipResult::FaultyArguments);
    EXPECT_EQ(writer->AddFile("self.zip", archive), ZipResult::FaultyArguments);
    EXPECT_EQ(writer->AddFile("missing.txt", dir / "missing.txt"), ZipResult::CannotOpenFile);
    EXPECT_EQ(writer->AddFile("folder", dir.Path()), ZipResult::CannotOpenFile);
    EXPECT_EQ(writer->AddFile("fifo", dir / "fifo"), ZipResult::CannotOpenFile);
    EXPECT_EQ(writer->AddFile("good.txt", good), ZipResult::Success);
    EXPECT_EQ(writer->Close(), ZipResult::Success);
    EXPECT_EQ(writer->AddFile("late.txt", good), ZipResult::AdditionsEnded);
    EXPECT_EQ(writer->Close(), ZipResult::AdditionsEnded);

    auto reader = ZipReader::Open(archive);
    ASSERT_TRUE(reader);
    ZipEntryInfo info;
    reader->GetEntry(-1, info);
    EXPECT_EQ(info.entryCount, 1);
    EXPECT_EQ(reader->GetEntry(-2, info), ZipResult::FaultyArguments);
    EXPECT_EQ(reader->GetEntry(1, info), ZipResult::FaultyArguments);
    EXPECT_EQ(reader->ExtractEntry(1, dir / "x"), ZipResult::FaultyArguments);
    EXPECT_EQ(reader->Close(), ZipResult::Success);
    EXPECT_EQ(reader->GetEntry(0, info), ZipResult::FaultyArguments);
    EXPECT_EQ(reader->Close(), ZipResult::FaultyArguments);
}

TEST_F(ZipRoundTripTest, AFailedWriteIsStickyAndCloseReportsIt) {
    const fs::path source = Source("random.bin", test::PseudoRandomBytes(1 << 20));
    auto writer = ZipWriter::Create("/dev/full");
    ASSERT_TRUE(writer);
    EXPECT_EQ(writer->AddFile("random.bin", source), ZipResult::WriteFailed);
    EXPECT_EQ(writer->AddFile("again.bin", source), ZipResult::PreviousError);
    EXPECT_EQ(writer->Close(), ZipResult::PreviousError);
}

TEST_F(ZipRoundTripTest, ExtractionReplacesTheTargetAndNeverFollowsALinkThere) {
    const fs::path archive = dir / "out.zip";
    auto writer = ZipWriter::Create(archive);
    ASSERT_TRUE(writer);
    ASSERT_EQ(writer->AddFile("a.txt", Source("a.txt", {'n', 'e', 'w'})), ZipResult::Success);
    ASSERT_EQ(writer->Close(), ZipResult::Success);
    const fs::path out = dir / "out";
    fs::create_directory(out);
    WriteFile(out / "existing.txt", std::string("old and longer"));
    WriteFile(dir / "victim.txt", std::string("keep"));
    fs::create_symlink(dir / "victim.txt", out / "link.txt");

    auto reader = ZipReader::Open(archive);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->ExtractEntry(0, out / "existing.txt"), ZipResult::Success);
    EXPECT_EQ(reader->ExtractEntry(0, out / "link.txt"), ZipResult::Success);
    EXPECT_EQ(reader->ExtractEntry(0, out / "missing" / "a.txt"), ZipResult::CannotOpenFile);
    EXPECT_EQ(reader->ExtractEntry(0, out), ZipResult::CannotOpenFile);  // a folder is not replaced

    EXPECT_EQ(ReadFile(out / "existing.txt"), ReadFile(dir / "a.txt"));
    EXPECT_FALSE(fs::is_symlink(out / "link.txt"));
    EXPECT_EQ(ReadFile(out / "link.txt"), ReadFile(dir / "a.txt"));
    EXPECT_EQ(ReadFile(dir / "victim.txt"), std::vector<unsigned char>({'k', 'e', 'e', 'p'}));
    EXPECT_EQ(test::FolderEntries(out), (std::vector<std::string>{"existing.txt", "link.txt"}));
}

TEST_F(ZipRoundTripTest, ForeignEntriesAreDescribedAndUnsafeOnesNeverLeaveTheDestination) {
    const fs::path archive = dir / "foreign.zip";
    test::WriteRawZip(archive, {
        {"Folder/", "", 0x10},
        {"../evil", "evil", kUnixFile | 0644 << 16, 3},
        {"/tmp/evil", "evil", kUnixFile | 0644 << 16, 3},
        {"link", "/etc/passwd", static_cast<std::uint32_t>(S_IFLNK | 0777) << 16, 3},
        {"tool", "#!/bin/sh\n", kUnixFile | 04755 << 16, 3},
        {"\x81" "ber.txt", "dos", 0x01, 0},
        {"secret.txt", "not really", kUnixFile | 0644 << 16, 3, 0x5A210000, 1},
    });
    const fs::path out = dir / "out";
    auto reader = ZipReader::Open(archive);
    ASSERT_TRUE(reader);
    ZipEntryInfo info;
    reader->GetEntry(-1, info);
    EXPECT_EQ(info.entryCount, 7);
    reader->GetEntry(0, info);
    EXPECT_TRUE(info.isFolder);
    EXPECT_EQ(reader->ExtractEntry(0, dir / "folder-target"), ZipResult::Success);
    reader->GetEntry(3, info);
    EXPECT_TRUE(S_ISLNK(info.mode));
    reader->GetEntry(5, info);
    EXPECT_EQ(info.name, "über.txt");
    EXPECT_FALSE(info.hasUnixMode);
    EXPECT_EQ(info.mode, S_IFREG | 0444);
    EXPECT_EQ(info.lastWriteTime, TimeFromDosDateTime(0x5A210000));
    EXPECT_EQ(reader->ExtractEntry(3, dir / "link-target"), ZipResult::FaultyArguments);
    reader.reset();

    const test::ExtractionReport report = test::ExtractAll(archive, out);
    EXPECT_EQ(report.extracted, 3);
    EXPECT_EQ(report.refused, 2);
    EXPECT_EQ(report.failures, (std::vector<ZipResult>{ZipResult::FaultyArguments, ZipResult::FaultyArguments}));
    EXPECT_EQ(test::FolderEntries(dir.Path()), (std::vector<std::string>{"foreign.zip", "out"}));
    EXPECT_FALSE(fs::exists("/tmp/evil"));
    const auto tree = test::ReadTree(out);
    EXPECT_EQ(tree.size(), 3u);
    EXPECT_TRUE(tree.at("Folder").folder);
    EXPECT_EQ(tree.at("tool").permissions, 0755u);  // never set-user-id
    EXPECT_EQ(tree.at("über.txt").permissions & 0222, 0u);
    EXPECT_EQ(tree.at("über.txt").lastWriteTime, TimeFromDosDateTime(0x5A210000));
}

TEST_F(ZipRoundTripTest, DamagedArchivesGiveResultCodesAndLeaveTargetsAlone) {
    const fs::path archive = dir / "good.zip";
    const std::string content = "stored content that is easy to find in the archive";
    auto writer = ZipWriter::Create(archive);
    ASSERT_TRUE(writer);
    ASSERT_EQ(writer->AddFile("inner.zip", Source("inner", {content.begin(), content.end()})), ZipResult::Success);
    ASSERT_EQ(writer->AddFile("text.txt", Source("text", std::vector<unsigned char>(4000, 'a'))), ZipResult::Success);
    ASSERT_EQ(writer->Close(), ZipResult::Success);
    const auto bytes = ReadFile(archive);
    const auto find = [&](const std::string& what) {
        const auto at = std::search(bytes.begin(), bytes.end(), what.begin(), what.end());
        EXPECT_NE(at, bytes.end()) << what;
        return static_cast<std::size_t>(at - bytes.begin());
    };
    // The central record of text.txt, the last one.
    const std::string central = "PK\x01\x02";
    const auto textRecord = static_cast<std::size_t>(
        std::find_end(bytes.begin(), bytes.end(), central.begin(), central.end()) - bytes.begin());

    struct Damage {
        const char* label;
        std::function<void(std::vector<unsigned char>&)> apply;
        ZipResult open;     // from Open
        ZipResult extract;  // from ExtractEntry of both entries, when Open succeeds
    };
    const std::vector<Damage> damages = {
        {"truncated", [](auto& b) { b.resize(b.size() / 2); }, ZipResult::CorruptArchive, {}},
        {"central directory", [&](auto& b) { b[find("PK\x01\x02")] = 'X'; }, ZipResult::CorruptArchive, {}},
        {"not a zip", [](auto& b) { b.assign(100, 'x'); }, ZipResult::CorruptArchive, {}},
        {"stored data", [&](auto& b) { b[find(content) + 3] ^= 1; }, ZipResult::Success, ZipResult::CorruptArchive},
        {"deflated data", [&](auto& b) { b[find("text.txt") + 8 + 17 + 2] ^= 0x55; }, ZipResult::Success,
         ZipResult::CorruptArchive},
        {"data size beyond the file", [&](auto& b) { b[textRecord + 20 + 3] = 0x7F; },
         ZipResult::Success, ZipResult::CorruptArchive},
        {"local header offset", [&](auto& b) { b[textRecord + 42] ^= 0x04; }, ZipResult::Success,
         ZipResult::CorruptArchive},
        // Readable variations: a stub in front (self-extractors), a comment, bytes appended.
        {"prepended stub", [](auto& b) { b.insert(b.begin(), 1000, 0x90); }, ZipResult::Success, ZipResult::Success},
        {"comment", [](auto& b) { b[b.size() - 2] = 5, b.insert(b.end(), {'P', 'K', 5, 6, '!'}); },
         ZipResult::Success, ZipResult::Success},
        {"bytes appended", [](auto& b) { b.insert(b.end(), 300, 0); }, ZipResult::Success, ZipResult::Success},
        {"count cut to 16 bits", [](auto& b) { b[b.size() - 14] = b[b.size() - 12] = 1; }, ZipResult::Success,
         ZipResult::Success},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.label);
        auto damaged = bytes;
        damage.apply(damaged);
        const fs::path path = dir / "damaged.zip";
        WriteFile(path, damaged);
        ZipResult reason = ZipResult::Success;
        auto reader = ZipReader::Open(path, &reason);
        EXPECT_EQ(reason, damage.open);
        if (!reader) {
            continue;
        }
        // The damaged entry fails; the other one (or both, when nothing is damaged) extracts.
        int failures = 0;
        for (const std::int64_t index : {0, 1}) {
            WriteFile(dir / "target", std::string("precious"));
            const ZipResult result = reader->ExtractEntry(index, dir / "target");
            if (result == ZipResult::Success) {
                EXPECT_EQ(ReadFile(dir / "target"), ReadFile(dir / (index == 0 ? "inner" : "text")));
            } else {
                ++failures;
                EXPECT_EQ(result, damage.extract);
                EXPECT_EQ(ReadFile(dir / "target"), std::vector<unsigned char>({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
            }
        }
        EXPECT_EQ(failures, damage.extract == ZipResult::Success ? 0 : 1);
        EXPECT_EQ(test::FolderEntries(dir.Path()).size(), 5u);  // no temporary file left behind
    }
    ZipResult reason = ZipResult::Success;
    EXPECT_FALSE(ZipReader::Open(dir / "missing.zip", &reason));
    EXPECT_EQ(reason, ZipResult::CannotOpenFile);
}

}  // namespace
}  // namespace vaultpack
