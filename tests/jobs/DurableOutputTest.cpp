// A created archive and a decrypted file reach the disk before they replace
// anything: the file is flushed under its temporary name, then its folder
// after the rename. Extracted entries are not flushed one by one.

#include <gtest/gtest.h>

#include <mutex>

#include <sys/syscall.h>
#include <unistd.h>

#include "crypto/EncryptFile.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/support/ScriptedJobHost.h"

namespace {

std::mutex flushedLock;
std::vector<std::string> flushed;  // what each fsync flushed, by path

}  // namespace

// Takes the place of the C library's fsync in this test program.
extern "C" int fsync(int fd) {
    char path[4096] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
    {
        const std::lock_guard<std::mutex> lock(flushedLock);
        flushed.emplace_back(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace vaultpack {
namespace {

using Strings = std::vector<std::string>;

// Each path flushed, with an output not yet named (unnamed, or under a
// temporary name) shown as ".part".
Strings TakeFlushed() {
    const std::lock_guard<std::mutex> lock(flushedLock);
    Strings paths;
    for (std::string& path : flushed) {
        const bool pending = path.find("/.vaultpack-") != std::string::npos || path.ends_with(" (deleted)");
        paths.push_back(pending ? path.substr(0, path.rfind('/')) + "/.part" : path);
    }
    flushed.clear();
    return paths;
}

TEST(DurableOutputTest, OutputsAreFlushedBeforeAndAfterTheRename) {
    test::JobSandbox sandbox;
    const std::filesystem::path source = sandbox.Write("in/a.txt", "alpha");
    const std::string folder = std::filesystem::canonical(sandbox.Path()).string();
    TakeFlushed();

    test::ScriptedJobHost creating;
    creating.Expect("save zip", (sandbox / "a.zip").string());
    CreateArchiveParams params;
    params.items = {test::ItemFor(source)};
    params.zipEnabled = true;
    ASSERT_EQ(test::RunJob(RunCreateArchiveJob, params, creating), JobOutcome::Succeeded);
    EXPECT_EQ(TakeFlushed(), (Strings{folder + "/.part", folder}));

    ASSERT_TRUE(EncryptFile(source, sandbox / "a.ezc", "pw", "", false).Completed());
    TakeFlushed();
    test::ScriptedJobHost decrypting;
    decrypting.Expect("password", "pw");
    ASSERT_EQ(test::RunJob(RunDecryptJob, {{sandbox / "a.ezc"}, {}, false}, decrypting), JobOutcome::Succeeded);
    EXPECT_EQ(TakeFlushed(), (Strings{folder + "/.part", folder}));

    test::ScriptedJobHost unzipping;
    ASSERT_EQ(test::RunJob(RunUnzipJob, {{sandbox / "a.zip"}, {sandbox / "out"}, false}, unzipping),
              JobOutcome::Succeeded);
    EXPECT_EQ(TakeFlushed(), Strings{});
}

}  // namespace
}  // namespace vaultpack
