#pragma once

// Helpers shared by the ZIP, job and CLI tests: hand-made archives, whole
// archives extracted the way the unzip job does it, a sample tree, snapshots
// of folder trees, and the peer tools.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <sys/types.h>

namespace vaultpack::test {

// One entry written with minizip directly, for archives that ZipWriter would
// never produce (folder and link entries, foreign hosts, odd names).
struct RawEntry {
    std::string name;
    std::string data;
    std::uint32_t externalAttributes = 0;
    unsigned hostSystem = 0;                 // 0 MS-DOS, 3 Unix
    std::uint32_t dosDateTime = 0x5A210000;  // 1 January 2025, 00:00:00
    unsigned long flags = 0;
    std::string localExtra{};  // extra fields, as bytes
    std::string centralExtra{};
};
void WriteRawZip(const std::filesystem::path& archive, const std::vector<RawEntry>& entries);

std::string ReadText(const std::filesystem::path& path);

// Text of `size` bytes that is neither random nor one repeated piece: a fixed
// 20,000-byte piece alternates with 10,000 new pseudo-random letters, so that
// deflate finds matches up to 30,000 bytes back, also across its blocks.
std::string MixedText(std::size_t size);

// Extracts every entry below destination (folder entries as folders, parent
// folders created, unsafe names refused); returns the names it did not extract.
std::vector<std::string> ExtractAll(const std::filesystem::path& archive, const std::filesystem::path& destination);

// Writes files below root and returns their relative names: nested folders,
// an empty file, 1 MiB of random bytes, names with spaces and non-ASCII
// letters, already compressed extensions, a read-only file; modification
// times on odd seconds in summer and winter, access times 100 s earlier.
std::vector<std::string> WriteSampleTree(const std::filesystem::path& root);

// A file, folder or link below a root; folders and links ("-> target") without times and permissions.
struct TreeItem {
    bool folder = false;
    std::string content;
    std::time_t lastWriteTime = 0;
    mode_t permissions = 0;
    bool operator==(const TreeItem&) const = default;
};
void PrintTo(const TreeItem& item, std::ostream* out);
std::map<std::string, TreeItem> ReadTree(const std::filesystem::path& root);  // by relative path

std::string Quote(const std::string& text);
int RunCommand(const std::string& command);       // its exit status, -1 when it did not exit
std::string Capture(const std::string& command);  // what it printed on stdout
void UseTimeZone(const char* zone);               // for this process and the tools it starts

}  // namespace vaultpack::test
