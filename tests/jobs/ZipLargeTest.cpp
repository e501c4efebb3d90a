// Zip64: an entry of more than 4 GiB, and an entry beyond the 4 GiB mark of
// the archive. The source is a sparse file; the test costs disk time (writing
// the archive and extracting the entry), not space in the tree.

#include "jobs/ZipReader.h"
#include "jobs/ZipWriter.h"

#include <gtest/gtest.h>

#include <chrono>

#include <fcntl.h>
#include <unistd.h>

#include "tests/jobs/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

namespace fs = std::filesystem;
using test::Quote;

constexpr std::uint64_t kLargeSize = (std::uint64_t{1} << 32) + 4097;

// Markers at the start, across the 4 GiB boundary and at the end, where a
// size or offset cut to 32 bits would lose or move them.
const std::vector<std::pair<std::uint64_t, std::string>> kMarkers = {
    {0, "start"}, {(std::uint64_t{1} << 32) - 3, "across"}, {kLargeSize - 3, "end"}};

void MakeSparseFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kLargeSize)), 0);
    for (const auto& [offset, text] : kMarkers) {
        ASSERT_EQ(::pwrite(fd, text.data(), text.size(), static_cast<off_t>(offset)), static_cast<ssize_t>(text.size()));
    }
    ::close(fd);
}

void ExpectSparseContent(const fs::path& path) {
    ASSERT_EQ(fs::file_size(path), kLargeSize);
    const int fd = ::open(path.c_str(), O_RDONLY);
    for (const auto& [offset, text] : kMarkers) {
        std::string read(text.size(), '\0');
        ::pread(fd, read.data(), read.size(), static_cast<off_t>(offset));
        EXPECT_EQ(read, text) << "at " << offset;
    }
    ::close(fd);
}

TEST(ZipLargeTest, EntriesAndArchivesBeyond4GiBUseZip64) {
    const auto started = std::chrono::steady_clock::now();
    test::TempDir dir;
    MakeSparseFile(dir / "big.gz");  // stored, so the archive grows beyond 4 GiB
    test::WriteFile(dir / "after.txt", std::string("after the 4 GiB mark"));
    const fs::path archive = dir / "large.zip";
    {
        auto writer = ZipWriter::Create(archive);
        ASSERT_TRUE(writer);
        ASSERT_EQ(writer->AddFile("big.gz", dir / "big.gz"), ZipResult::Success);
        ASSERT_EQ(writer->AddFile("after.txt", dir / "after.txt"), ZipResult::Success);
        ASSERT_EQ(writer->Close(), ZipResult::Success);
    }
    fs::remove(dir / "big.gz");
    EXPECT_GT(fs::file_size(archive), kLargeSize);

    // The peers find both entries through the Zip64 records.
    EXPECT_EQ(test::Capture(Quote("/usr/bin/python3") + " " + Quote(ZIP_PEER_SCRIPT) + " list " + Quote(archive)),
              "big.gz\t" + std::to_string(kLargeSize) + "\nafter.txt\t20\n");
    EXPECT_EQ(test::Capture("unzip -p " + Quote(archive) + " after.txt"), "after the 4 GiB mark");

    auto reader = ZipReader::Open(archive);
    ASSERT_TRUE(reader);
    ZipEntryInfo info;
    ASSERT_EQ(reader->GetEntry(0, info), ZipResult::Success);
    EXPECT_EQ(info.uncompressedSize, kLargeSize);
    EXPECT_EQ(info.compressedSize, kLargeSize);
    EXPECT_EQ(info.mode, S_IFREG | 0644);  // a Unix mode although minizip rewrites the host of Zip64 entries
    ASSERT_EQ(reader->ExtractEntry(0, dir / "big.out"), ZipResult::Success);
    ExpectSparseContent(dir / "big.out");
    fs::remove(dir / "big.out");
    ASSERT_EQ(reader->ExtractEntry(1, dir / "after.out"), ZipResult::Success);
    EXPECT_EQ(test::ReadFile(dir / "after.out"), test::ReadFile(dir / "after.txt"));
    EXPECT_EQ(reader->Close(), ZipResult::Success);

    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    std::printf("Zip64 round trip took %d s\n", static_cast<int>(seconds.count()));
}

}  // namespace
}  // namespace vaultpack
