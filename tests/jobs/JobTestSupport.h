#pragma once

#include <filesystem>
#include <map>
#include <ostream>
#include <memory>
#include <string>
#include <type_traits>

#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"
#include "jobs/JobRunner.h"
#include "tests/zip/ZipTestSupport.h"
#include "tests/support/EnglishText.h"
#include "tests/support/ScopedEnvironmentVariable.h"
#include "tests/support/TempDir.h"

namespace vaultpack::test {

// A temporary folder for one job test that is also the system's temporary
// folder (TMPDIR, its sub-folder "tmp") while it lives, so a test can see
// what a job leaves behind there.
class JobSandbox : public TempDir {
public:
    std::filesystem::path TemporaryFolder() const { return *this / "tmp"; }
    // Writes a file below the root, creating its folders; returns its path.
    std::filesystem::path Write(const std::string& relativePath, const std::string& content) const;

private:
    std::filesystem::path MakeTemporaryFolder() const;
    ScopedEnvironmentVariable tmpdir_{"TMPDIR", MakeTemporaryFolder().c_str()};
};

std::string RandomText(std::size_t size, unsigned seed);

// A host the test keeps on its stack, handed to what takes shared ownership;
// the test outlives the job.
inline std::shared_ptr<JobHost> Unowned(JobHost& host) { return {std::shared_ptr<JobHost>(), &host}; }

// Runs a job as the programs do, on its own thread through StartJob, and waits
// for it; returns the outcome handed over with the completion.
template <typename Params>
JobOutcome RunJob(JobCompletion (*job)(const Params&, JobHost&), const std::type_identity_t<Params>& params,
                  JobHost& host) {
    JobOutcome outcome = JobOutcome::Failed;
    StartJob(JobKind::CreateArchive, Unowned(host), [&](JobHost& jobHost) {
        const JobCompletion completion = job(params, jobHost);
        outcome = completion.outcome;
        return completion;
    }).Wait();
    return outcome;
}

// A row of the builder's list for a file; archiveFolder as the builder writes it ("docs\").
ArchiveItem ItemFor(const std::filesystem::path& source, const std::string& archiveFolder = {});

// Everything below a folder, or in an archive, by relative path: a file's content, or "<folder>".
using Files = std::map<std::string, std::string>;
Files FolderContents(const std::filesystem::path& folder);
Files ArchiveContents(const std::filesystem::path& archive);

// Table rows print as their name in test listings (bring it in with
// `using test::PrintTo;` beside the rows).
template <typename Row>
    requires requires(const Row& row, std::ostream& out) { out << row.name; }
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

}  // namespace vaultpack::test
