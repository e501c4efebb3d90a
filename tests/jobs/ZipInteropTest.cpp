// Archives we write against Info-ZIP unzip, 7z, bsdtar and Python's zipfile,
// and archives those tools (and Info-ZIP zip) write against our reader.

#include "jobs/ZipReader.h"
#include "jobs/ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include <sys/stat.h>
#include <sys/time.h>
#include <zlib.h>

#include "tests/jobs/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::RunCommand;

const std::string kPeerScript = Quote("/usr/bin/python3") + " " + Quote(ZIP_PEER_SCRIPT);

class ZipInteropTest : public testing::Test {
protected:
    void SetUp() override {
        test::UseTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
        const auto random = test::PseudoRandomBytes(1 << 20);
        const std::vector<std::pair<std::string, mode_t>> files = {
            {"Folder/Sub/notes.txt", 0640}, {"Folder/Sub/deeper/empty.txt", 0644}, {"random.bin", 0644},
            {"name with spaces.txt", 0755}, {"Ünïcödé ß.txt", 0644},          {"data.ZIP", 0644},
            {"backup.tgz", 0600},           {"readonly.txt", 0444},
        };
        for (std::size_t i = 0; i < files.size(); ++i) {
            const fs::path path = tree / files[i].first;
            fs::create_directories(path.parent_path());
            if (files[i].first == "random.bin") {
                test::WriteFile(path, random);
            } else if (files[i].first != "Folder/Sub/deeper/empty.txt") {
                test::WriteFile(path, files[i].first + " holds some text\n" + std::string(i * 100, 'z'));
            } else {
                test::WriteFile(path, std::string());
            }
            ::chmod(path.c_str(), files[i].second);
            // Odd seconds, in summer and in winter time.
            const std::time_t mtime = (i % 2 == 0 ? 1700000001 : 1690000001) + static_cast<std::time_t>(i) * 3600;
            const timeval times[2] = {{mtime, 0}, {mtime, 0}};
            ::utimes(path.c_str(), times);
        }
    }

    test::TempDir dir;
    fs::path tree = dir / "tree";
};

TEST_F(ZipInteropTest, OurArchivesPassEveryPeer) {
    // Every file below tree under its relative path, and what Python's
    // zipfile should report for it (see zip_peer.py describe).
    const fs::path archive = dir / "ours.zip";
    auto writer = ZipWriter::Create(archive);
    ASSERT_TRUE(writer);
    std::string expected;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string name = fs::relative(entry.path(), tree).string();
        EXPECT_EQ(writer->AddFile(name, entry.path()), ZipResult::Success) << name;
        struct stat status {};
        ::stat(entry.path().c_str(), &status);
        const std::time_t even = status.st_mtime - status.st_mtime % 2;
        std::tm local{};
        ::localtime_r(&even, &local);
        const auto content = test::ReadFile(entry.path());
        char line[512];
        std::snprintf(line, sizeof line, "%s\t%d\t%04d-%02d-%02d %02d:%02d:%02d\t%o\t%d\t%08lx\t%zu\n", name.c_str(),
                      name == "data.ZIP" || name == "backup.tgz" ? 0 : 8, local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, status.st_mode,
                      name == "Ünïcödé ß.txt" ? 1 : 0, crc32(0, content.data(), static_cast<uInt>(content.size())),
                      content.size());
        expected += line;
    }
    ASSERT_EQ(writer->Close(), ZipResult::Success);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 8);
    EXPECT_EQ(test::Capture(kPeerScript + " describe " + Quote(archive)), expected);

    const std::string quoted = Quote(archive);
    EXPECT_EQ(RunCommand("unzip -tq " + quoted + " >/dev/null"), 0);
    EXPECT_EQ(RunCommand("7z t " + quoted + " >/dev/null"), 0);
    EXPECT_EQ(RunCommand("bsdtar -tf " + quoted + " >/dev/null"), 0);
    // Info-ZIP unzip restores the same tree, with times and modes.
    ASSERT_EQ(RunCommand("unzip -q " + quoted + " -d " + Quote(dir / "unzipped")), 0);
    EXPECT_EQ(test::ReadTree(dir / "unzipped"), test::ReadTree(tree));
}

TEST_F(ZipInteropTest, PeerArchivesExtractAsUnzipExtractsThem) {
    const std::string source = Quote(tree);
    const std::vector<std::pair<std::string, std::string>> peers = {
        {"zip -r", "cd " + source + " && zip -q -r ARCHIVE ."},
        {"7z a -tzip", "cd " + source + " && 7z a -tzip -bd ARCHIVE . >/dev/null"},
        {"bsdtar --format zip", "cd " + source + " && bsdtar --format zip -cf ARCHIVE ."},
        {"python stored", kPeerScript + " write stored ARCHIVE " + source},
        {"python deflated", kPeerScript + " write deflated ARCHIVE " + source},
        {"python zip64", kPeerScript + " write zip64 ARCHIVE " + source},
        {"python streamed", kPeerScript + " write streamed ARCHIVE " + source},
    };
    int run = 0;
    for (const auto& [peer, command] : peers) {
        SCOPED_TRACE(peer);
        const fs::path archive = dir / ("peer" + std::to_string(++run) + ".zip");
        std::string line = command;
        line.replace(line.find("ARCHIVE"), 7, Quote(archive));
        ASSERT_EQ(RunCommand(line), 0);
        const fs::path unzipped = dir / ("unzipped" + std::to_string(run));
        const fs::path ours = dir / ("ours" + std::to_string(run));
        ASSERT_EQ(RunCommand("unzip -q " + Quote(archive) + " -d " + Quote(unzipped)), 0);
        const test::ExtractionReport report = test::ExtractAll(archive, ours);
        EXPECT_EQ(report.refused, 0);
        EXPECT_TRUE(report.failures.empty());
        const auto expected = test::ReadTree(unzipped);
        EXPECT_EQ(test::ReadTree(ours), expected);
        EXPECT_EQ(expected.at("random.bin").content.size(), 1u << 20);
    }
}

TEST_F(ZipInteropTest, NamesWithoutTheUtf8FlagDecodeAsPythonDecodesThem) {
    std::string name = "cp437-";
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        name += static_cast<char>(byte);
    }
    const fs::path archive = dir / "cp437.zip";
    test::WriteRawZip(archive, {{name + ".txt", "x"}});
    const std::string peer = test::Capture(kPeerScript + " describe " + Quote(archive));
    auto reader = ZipReader::Open(archive);
    ASSERT_TRUE(reader);
    ZipEntryInfo info;
    ASSERT_EQ(reader->GetEntry(0, info), ZipResult::Success);
    EXPECT_EQ(info.name, peer.substr(0, peer.find('\t')));
    EXPECT_EQ(info.name.substr(0, 8), "cp437-Ç");
}

}  // namespace
}  // namespace vaultpack
