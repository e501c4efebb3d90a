#pragma once

// Helpers shared by the ZIP tests: hand-made archives, extraction of a whole
// archive the way the unzip job does it, snapshots of folder trees, and
// running the peer tools.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <sys/types.h>

#include "jobs/ZipResult.h"

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
};
void WriteRawZip(const std::filesystem::path& archive, const std::vector<RawEntry>& entries);

struct ExtractionReport {
    int extracted = 0;
    int refused = 0;  // names that SafeTargetPath refuses
    std::vector<ZipResult> failures;
};
// Extracts every entry below destination: folder entries become folders,
// parent folders are created, unsafe names are refused.
ExtractionReport ExtractAll(const std::filesystem::path& archive, const std::filesystem::path& destination);

struct TreeItem {
    bool folder = false;
    std::string content;
    std::time_t lastWriteTime = 0;
    mode_t permissions = 0;
    bool operator==(const TreeItem&) const = default;
};
// How test failures show a TreeItem: kind, size, time and permissions.
void PrintTo(const TreeItem& item, std::ostream* out);
// Every file and folder below root by relative path; folders without times
// and permissions, which the facility leaves to its caller.
std::map<std::string, TreeItem> ReadTree(const std::filesystem::path& root);

std::string Quote(const std::string& text);
// Runs a shell command; its exit status, or -1 when it did not exit normally.
int RunCommand(const std::string& command);
// Runs a shell command and returns what it printed on stdout.
std::string Capture(const std::string& command);

// Sets the time zone for this process and the tools it starts.
void UseTimeZone(const char* zone);

}  // namespace vaultpack::test
