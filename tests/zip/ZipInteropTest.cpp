// Archives we write against Info-ZIP unzip, 7z, bsdtar, Python's zipfile and
// our own reader, archives those tools (and Info-ZIP zip) write against our
// reader, and Zip64 archives beyond 4 GiB.

#include "zip/ParallelPreparer.h"
#include "zip/EntryExtraction.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "tests/zip/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::RunCommand;
using Strings = std::vector<std::string>;

const std::string kPeerScript = Quote("/usr/bin/python3") + " " + Quote(ZIP_PEER_SCRIPT);

class ZipInteropTest : public testing::Test {
protected:
    void SetUp() override { test::UseTimeZone("CET-1CEST,M3.5.0,M10.5.0/3"); }

    test::TempDir dir;
    fs::path tree = dir / "tree";
    Strings names = test::WriteSampleTree(tree);
};

TEST_F(ZipInteropTest, OurArchivesPassEveryPeer) {
    const fs::path archive = dir / "ours.zip";
    auto writer = ZipWriter::Create(archive);
    ASSERT_TRUE(writer);
    std::string expected;  // what Python's zipfile should report (see zip_peer.py describe)
    // Stored: compressed formats by extension, and files that deflate does not make smaller.
    const std::set<std::string> kStored = {"data.ZIP", "backup.tgz", "Folder/Sub/notes.txt",
                                           "Folder/Sub/deeper/empty.txt", "random.bin"};
    for (const std::string& name : names) {
        std::string storedName = name;  // the jobs pass Windows-style separators
        std::replace(storedName.begin(), storedName.end(), '/', '\\');
        EXPECT_EQ(writer->AddFile(storedName, tree / name), ZipResult::Success) << name;
        struct stat status {};
        ::stat((tree / name).c_str(), &status);
        const std::time_t even = status.st_mtime - status.st_mtime % 2;
        std::tm local{};
        ::localtime_r(&even, &local);
        const std::string content = test::ReadText(tree / name);
        char line[512];
        std::snprintf(line, sizeof line, "%s\t%d\t%04d-%02d-%02d %02d:%02d:%02d\t%08x\t%d\t%08lx\t%zu\n", name.c_str(),
                      kStored.contains(name) ? 0 : 8, local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                      status.st_mode << 16 | ((status.st_mode & S_IWUSR) == 0 ? 1 : 0),  // and DOS read-only
                      name == "Ünïcödé ß.txt" ? 1 : 0,
                      crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())),
                      content.size());
        expected += line;
    }
    ASSERT_EQ(writer->Close(), ZipResult::Success);
    EXPECT_EQ(test::Capture(kPeerScript + " describe " + Quote(archive)), expected);

    EXPECT_EQ(RunCommand("unzip -tq " + Quote(archive) + " >/dev/null"), 0);
    EXPECT_EQ(RunCommand("7z t " + Quote(archive) + " >/dev/null"), 0);
    EXPECT_EQ(RunCommand("bsdtar -tf " + Quote(archive) + " >/dev/null"), 0);
    // Info-ZIP unzip and our reader restore the same tree, with times (odd seconds: not from the DOS time) and modes.
    ASSERT_EQ(RunCommand("unzip -q " + Quote(archive) + " -d " + Quote(dir / "unzipped")), 0);
    EXPECT_EQ(test::ReadTree(dir / "unzipped"), test::ReadTree(tree));
    EXPECT_EQ(test::ExtractAll(archive, dir / "ours"), Strings{});
    struct stat status {};
    ::stat((dir / "ours/Folder/Sub/deeper/empty.txt").c_str(), &status);  // before reading changes the access time
    EXPECT_EQ(status.st_atime, status.st_mtime - 100);                      // from the local timestamp field
    EXPECT_EQ(test::ReadTree(dir / "ours"), test::ReadTree(tree));
}

TEST_F(ZipInteropTest, PeerArchivesExtractAsUnzipExtractsThem) {
    // A link stays a link with the peers that store links (Python's writer follows it).
    fs::create_symlink("../random.bin", tree / "Folder" / "shortcut");
    const std::string source = Quote(tree);
    // 7z also writes the NTFS time field, which Info-ZIP unzip ignores here: from 7z's archives we restore
    // the source's own times, where unzip restores the DOS times.
    struct Peer {
        std::string name, command;
        bool ntfsTimes = false;
    };
    const Peer peers[] = {
        {"zip -r -y", "cd " + source + " && zip -q -r -y ARCHIVE ."},
        {"7z a -tzip -snl", "cd " + source + " && 7z a -tzip -snl -bd ARCHIVE . >/dev/null", true},
        {"bsdtar --format zip", "cd " + source + " && bsdtar --format zip -cf ARCHIVE ."},
        {"python stored", kPeerScript + " write stored ARCHIVE " + source},
        {"python deflated", kPeerScript + " write deflated ARCHIVE " + source},
        {"python zip64", kPeerScript + " write zip64 ARCHIVE " + source},
        {"python streamed", kPeerScript + " write streamed ARCHIVE " + source},
    };
    for (auto [peer, command, ntfsTimes] : peers) {
        SCOPED_TRACE(peer);
        const fs::path run = dir / peer;
        command.replace(command.find("ARCHIVE"), 7, Quote(run / "peer.zip"));
        fs::create_directory(run);
        ASSERT_EQ(RunCommand(command), 0);
        ASSERT_EQ(RunCommand("unzip -q " + Quote(run / "peer.zip") + " -d " + Quote(run / "unzipped")), 0);
        EXPECT_EQ(test::ExtractAll(run / "peer.zip", run / "ours"), Strings{});
        const auto expected = test::ReadTree(ntfsTimes ? tree : run / "unzipped");
        EXPECT_EQ(test::ReadTree(run / "ours"), expected);
        EXPECT_EQ(expected.at("random.bin").content.size(), 1u << 20);
    }
}

TEST_F(ZipInteropTest, NamesWithoutTheUtf8FlagDecodeAsPythonDecodesThem) {
    std::string name = "cp437-";
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        name += static_cast<char>(byte);
    }
    test::WriteRawZip(dir / "cp437.zip", {{name + ".txt", "x"}});
    const std::string peer = test::Capture(kPeerScript + " describe " + Quote(dir / "cp437.zip"));
    auto reader = ZipReader::Open(dir / "cp437.zip");
    ASSERT_TRUE(reader);
    ZipEntryInfo info;
    ASSERT_EQ(reader->GetEntry(0, info), ZipResult::Success);
    EXPECT_EQ(info.name, peer.substr(0, peer.find('\t')));
    EXPECT_EQ(info.name.substr(0, 8), "cp437-Ç");
}

// A file beyond the whole-file limit is deflated in 1 MiB blocks as one
// stream: the same bytes whether the writer makes the blocks alone or with
// helpers, and every peer reads it back, also when the file ends on a block's
// end, and whichever kinds of deflate blocks its text, random bytes and
// zeros give. Extracting it takes the streamed path.
TEST(ZipLargeTest, BlockDeflatedFilesAreOneStreamForEveryPeer) {
    const test::TempDir dir;
    for (const std::size_t size : {std::size_t{9} << 20, (std::size_t{9} << 20) + 12345}) {
        SCOPED_TRACE(size);
        std::string content = test::MixedText(size);
        const std::vector<unsigned char> random = test::PseudoRandomBytes(std::size_t{1} << 20, 5);
        std::copy(random.begin(), random.end(), content.begin() + (std::size_t{2} << 20));
        std::fill_n(content.begin() + (std::size_t{5} << 20), std::size_t{1} << 20, '\0');
        test::WriteFile(dir / "large.txt", content);
        // Entries record the access time; one after the modification time is not moved by reading.
        const timespec times[2] = {{::time(nullptr) + 3600, 0}, {0, UTIME_OMIT}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "large.txt").c_str(), times, 0), 0);
        std::string first;
        for (const unsigned helpers : {0u, 1u, 3u}) {
            SCOPED_TRACE(helpers);
            const fs::path archive = dir / ("helpers" + std::to_string(helpers) + ".zip");
            auto writer = ZipWriter::Create(archive);
            ASSERT_TRUE(writer);
            if (helpers == 0) {
                ASSERT_EQ(writer->AddFile("large.txt", dir / "large.txt"), ZipResult::Success);
            } else {
                ParallelPreparer preparer(*writer, {{"large.txt", dir / "large.txt"}}, helpers);
                PreparedEntry entry = preparer.Take(0);
                ASSERT_EQ(writer->AddPrepared("large.txt", entry), ZipResult::Success);
            }
            ASSERT_EQ(writer->Close(), ZipResult::Success);
            if (first.empty()) {
                first = test::ReadText(archive);
                EXPECT_LT(first.size(), size / 2);
            } else {
                EXPECT_TRUE(test::ReadText(archive) == first) << "the archives differ";
            }
        }
        const fs::path archive = dir / "helpers0.zip";
        EXPECT_EQ(test::Capture("unzip -p " + Quote(archive) + " | cmp - " + Quote(dir / "large.txt") + " && echo same"),
                  "same\n");
        const std::string peer = test::Capture(kPeerScript + " describe " + Quote(archive));
        EXPECT_TRUE(peer.ends_with("\t" + std::to_string(size) + "\n")) << peer;  // read back, CRC checked
        EXPECT_EQ(RunCommand("7z t " + Quote(archive) + " >/dev/null"), 0);
        EXPECT_EQ(RunCommand("bsdtar -xOf " + Quote(archive) + " | cmp -s - " + Quote(dir / "large.txt")), 0);
        EXPECT_EQ(test::ExtractAll(archive, dir / "ours"), Strings{});
        EXPECT_TRUE(test::ReadText(dir / "ours" / "large.txt") == content);
    }
}

// Zip64: an entry of more than 4 GiB, and an entry beyond the 4 GiB mark of
// the archive. The source is a sparse file; the test costs about a minute of
// disk time (writing the archive, reading it back twice), not space.
TEST(ZipLargeTest, EntriesAndArchivesBeyond4GiBUseZip64) {
    constexpr off_t kLargeSize = (off_t{1} << 32) + 4097;
    const test::TempDir dir;
    // Mostly a hole, with a marker across the 4 GiB mark: a size or offset cut
    // to 32 bits changes what is read, which the CRC checks then catch.
    int fd = ::open((dir / "big.gz").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);  // stored: the archive grows too
    ASSERT_EQ(::ftruncate(fd, kLargeSize), 0);
    ASSERT_EQ(::pwrite(fd, "across", 6, (off_t{1} << 32) - 3), 6);
    ::close(fd);
    test::WriteFile(dir / "after.txt", std::string("after the 4 GiB mark"));
    {
        auto writer = ZipWriter::Create(dir / "large.zip");
        ASSERT_TRUE(writer);
        ASSERT_EQ(writer->AddFile("big.gz", dir / "big.gz"), ZipResult::Success);
        ASSERT_EQ(writer->AddFile("after.txt", dir / "after.txt"), ZipResult::Success);
        ASSERT_EQ(writer->Close(), ZipResult::Success);
    }
    std::filesystem::remove(dir / "big.gz");
    EXPECT_GT(std::filesystem::file_size(dir / "large.zip"), static_cast<std::uintmax_t>(kLargeSize));

    // Python's zipfile finds both entries through the Zip64 records and reads them, checking their CRCs.
    const std::string peer = test::Capture(kPeerScript + " describe " + Quote(dir / "large.zip"));
    EXPECT_TRUE(peer.starts_with("big.gz\t0\t")) << peer;
    EXPECT_NE(peer.find("\t" + std::to_string(kLargeSize) + "\nafter.txt\t0\t"), std::string::npos) << peer;
    EXPECT_TRUE(peer.ends_with("\t20\n")) << peer;

    auto reader = ZipReader::Open(dir / "large.zip");
    ASSERT_TRUE(reader);
    ZipEntryInfo info;
    ASSERT_EQ(reader->GetEntry(0, info), ZipResult::Success);
    EXPECT_EQ(info.compressedSize, static_cast<std::uint64_t>(kLargeSize));
    EXPECT_EQ(info.mode, S_IFREG | 0644);  // the Unix mode of a Zip64 entry
    ASSERT_EQ(ExtractEntry(*reader, 0, dir / "big.out"), ZipResult::Success);  // checked against its CRC
    EXPECT_EQ(std::filesystem::file_size(dir / "big.out"), static_cast<std::uintmax_t>(kLargeSize));
    std::filesystem::remove(dir / "big.out");
    ASSERT_EQ(ExtractEntry(*reader, 1, dir / "after.out"), ZipResult::Success);
    EXPECT_EQ(test::ReadText(dir / "after.out"), "after the 4 GiB mark");
}

}  // namespace
}  // namespace vaultpack
