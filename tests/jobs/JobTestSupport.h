#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"
#include "tests/support/TempDir.h"

namespace vaultpack::test {

// A temporary folder for one job test. While it lives it is also the system's
// temporary folder (TMPDIR, in its sub-folder "tmp"), so a test can see what
// a job leaves behind there.
class JobSandbox {
public:
    JobSandbox();
    ~JobSandbox();
    JobSandbox(const JobSandbox&) = delete;
    JobSandbox& operator=(const JobSandbox&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }
    const std::filesystem::path& Root() const { return dir_.Path(); }
    std::filesystem::path TemporaryFolder() const { return dir_ / "tmp"; }

    // Writes a file below the root, creating its folders; returns its path.
    std::filesystem::path Write(const std::string& relativePath, const std::string& content) const;

private:
    TempDir dir_;
    std::optional<std::string> previousTmpdir_;
};

std::string ReadText(const std::filesystem::path& path);

// A row of the builder's list for a file; archiveFolder as the builder writes it ("docs\").
ArchiveItem ItemFor(const std::filesystem::path& source, const std::string& archiveFolder = {});

// Everything below a folder by relative path: a file's content, or "<folder>".
using Files = std::map<std::string, std::string>;
Files FolderContents(const std::filesystem::path& folder);
// The same for the entries of an archive.
Files ArchiveContents(const std::filesystem::path& archive);

// The English text of a message box or a status line, as the user reads it.
std::string EnglishText(const MessageBoxRequest& request);
std::string EnglishText(const MessageLine& line);

// Table rows print as their name in test listings (bring it in with
// `using test::PrintTo;` beside the rows).
template <typename Row>
    requires requires(const Row& row, std::ostream& out) { out << row.name; }
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

}  // namespace vaultpack::test
