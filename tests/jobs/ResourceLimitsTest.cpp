// Jobs run out of threads or memory: each completes with the threads it could
// start, or fails with a message that names the cause; none crashes, and none
// leaves a temporary file. Each run is a child process under its limits that
// runs the job on a thread of its own, as the programs do: memory runs out
// otherwise there than on the main thread (no allocator arena of its own can
// be made, so every allocation tries and fails first).

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include "files/AllocatorArenas.h"
#include "jobs/JobRunner.h"
#include "jobs/Jobs.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/support/ResourceLimits.h"
#include "tests/support/ScriptedJobHost.h"
#include "zip/ParallelPreparer.h"

namespace vaultpack {
namespace {

using test::Files;
using test::FolderContents;
using test::PrintTo;

enum class Limit { Threads, MemoryAbove, Descriptors };

struct LimitRow {
    std::string name;
    Limit limit;
    // Threads of the process in all, the main thread and the job's included;
    // or MiB above what it maps already and the job thread's stack; or open
    // descriptors in all (ulimit -n).
    rlim_t amount;
};

// What the child tells: the job done, failed with its cause named, or anything else.
constexpr int kDone = 0, kFailedWithCause = 1, kFailedSilently = 2, kNoLimit = 3;

// Lets the process map `mebibytes` MiB more, beside the stack of one more thread.
bool LimitMemoryBesideAThreadsStack(rlim_t mebibytes) {
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    statm >> pages;
    pthread_attr_t defaults;
    std::size_t stack = 0;
    if (::pthread_getattr_default_np(&defaults) != 0 || ::pthread_attr_getstacksize(&defaults, &stack) != 0) {
        return false;
    }
    const auto page = static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
    const rlim_t bytes = (pages + 1) * page + stack + (mebibytes << 20);
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

// Closes every descriptor above the standard three and lets `count` be open.
bool LimitDescriptors(rlim_t count) {
    for (int descriptor = 3; descriptor < 1024; ++descriptor) {
        ::close(descriptor);
    }
    const rlimit limit{count, count};
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

bool NamesACause(const test::ScriptedJobHost& host) {
    for (const std::string& text : host.messageTexts) {
        for (const char* cause : {"Out of memory", "Failed to allocate memory", "Cannot start a thread"}) {
            if (text.find(cause) != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

class ResourceLimitsTest : public testing::TestWithParam<LimitRow> {
public:
    ResourceLimitsTest() {
        std::vector<test::RawEntry> small;
        for (int i = 0; i < 200; ++i) {
            // Three levels of folders, which the workers take turns in.
            small.push_back({"a" + std::to_string(i % 4) + "/b" + std::to_string(i % 8) + "/c" + std::to_string(i % 16) +
                                 "/f" + std::to_string(i) + ".txt",
                             test::RandomText(900, i)});
        }
        test::WriteRawZip(sandbox / "small.zip", small);
        test::WriteRawZip(sandbox / "large.zip", {{"large.bin", test::RandomText(20 << 20, 3)}});
        for (int i = 0; i < 40; ++i) {
            sandbox.Write("in/f" + std::to_string(i) + ".txt", test::RandomText(5000, i));
        }
        sandbox.Write("in/large.bin", test::RandomText(9 << 20, 5));
        test::OpenToEveryone(sandbox.Path());
    }

    // Runs the job on a thread of the child under the row's limit. A memory
    // limit holds from before that thread starts, as one set for a program
    // does; a thread limit is set on that thread, so that it counts whatever
    // threads the runtime has started by then.
    int RunLimited(const JobBody& job) const {
        const LimitRow& row = GetParam();
        // A sanitizer's runtime maps memory and opens descriptors of its own.
        if (row.limit != Limit::Threads && test::UnderSanitizer()) {
            return kNoLimit;
        }
        return test::ExitStatusInChild([&] {
            ShareOneAllocatorArena();  // as the programs do first
            test::ScriptedJobHost host;
            if (row.limit == Limit::MemoryAbove && !LimitMemoryBesideAThreadsStack(row.amount)) {
                return kNoLimit;
            }
            if (row.limit == Limit::Descriptors && !LimitDescriptors(row.amount)) {
                return kNoLimit;
            }
            int status = kNoLimit;
            std::thread([&] {
                if (row.limit == Limit::Threads && !test::LimitThreadsOfThisProcess(row.amount)) {
                    return;
                }
                const JobOutcome outcome = RunJobBody(JobKind::CreateArchive, host, job).outcome;
                status = outcome == JobOutcome::Succeeded                          ? kDone
                         : outcome == JobOutcome::Failed && NamesACause(host) ? kFailedWithCause
                                                                              : kFailedSilently;
            }).join();
            return status;
        });
    }

    // Whether the row's memory leaves room for more than the one worker that
    // always starts (ParallelPreparer::kAddressSpacePerWorker each): below
    // that, one and eight workers asked for are the same run, and which of
    // the two fails for memory depends only on timing (the writer's thread
    // makes a block of the large file itself when it gets there first).
    bool LeavesRoomForASecondWorker() const {
        const LimitRow& row = GetParam();
        return row.limit != Limit::MemoryAbove ||
               static_cast<std::size_t>(row.amount) << 20 >= 2 * ParallelPreparer::kAddressSpacePerWorker;
    }

    // Under a thread or descriptor limit every job completes; under a memory
    // limit it may fail, saying so.
    void ExpectDoneOrFailedWithCause(int status) const {
        if (status == kNoLimit) {
            GTEST_SKIP() << "no such limit here";
        }
        if (GetParam().limit != Limit::MemoryAbove) {
            EXPECT_EQ(status, kDone);
        } else {
            EXPECT_TRUE(status == kDone || status == kFailedWithCause) << status;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(sandbox.Path())) {
            EXPECT_EQ(entry.path().filename().string().find(".vaultpack-"), std::string::npos) << entry.path();
        }
    }

    test::JobSandbox sandbox;
};

TEST_P(ResourceLimitsTest, UnzipOfManySmallFiles) {
    const int status = RunLimited([&](JobHost& host) {
        return RunUnzipJob({{sandbox / "small.zip"}, {sandbox / "out"}}, host);
    });
    ExpectDoneOrFailedWithCause(status);
    if (status == kDone) {
        EXPECT_EQ(FolderContents(sandbox / "out").size(), 228u);
    }
}

TEST_P(ResourceLimitsTest, UnzipOfALargeEntry) {
    const int status = RunLimited([&](JobHost& host) {
        return RunUnzipJob({{sandbox / "large.zip"}, {sandbox / "out"}}, host);
    });
    ExpectDoneOrFailedWithCause(status);
    if (status == kDone) {
        EXPECT_EQ(test::ReadText(sandbox / "out/large.bin"), test::RandomText(20 << 20, 3));
    }
}

// More workers never fail where one goes through: those that cannot start
// are done without, and those that start share the allocator's one arena.
TEST_P(ResourceLimitsTest, CreateOfSmallFilesAndALargeOne) {
    int oneWorker = kNoLimit;
    for (const std::uint32_t threads : {1u, 8u}) {
        SCOPED_TRACE(threads);
        const int status = RunLimited([&](JobHost& host) {
            std::vector<ArchiveItem> items;
            for (const auto& entry : std::filesystem::directory_iterator(sandbox / "in")) {
                items.push_back(test::ItemFor(entry.path()));
            }
            auto& scripted = static_cast<test::ScriptedJobHost&>(host);
            scripted.Expect("save zip", (sandbox / "out.zip").string());
            return RunCreateArchiveJob({items, "", "", 1, true, true, false, threads}, host);
        });
        ExpectDoneOrFailedWithCause(status);
        if (status == kDone) {
            EXPECT_EQ(test::ArchiveContents(sandbox / "out.zip"), FolderContents(sandbox / "in"));
            std::filesystem::remove(sandbox / "out.zip");
        }
        if (threads == 1) {
            oneWorker = status;
        } else if (oneWorker == kDone && LeavesRoomForASecondWorker()) {
            EXPECT_EQ(status, kDone) << "one worker went through";
        }
    }
}

TEST_P(ResourceLimitsTest, EncryptOfOneFile) {
    const int status = RunLimited([&](JobHost& host) {
        auto& scripted = static_cast<test::ScriptedJobHost&>(host);
        scripted.Expect("save ezc", (sandbox / "out.ezc").string());
        return RunCreateArchiveJob({{test::ItemFor(sandbox / "in/large.bin")}, "", "pw", 1, false, false, true}, host);
    });
    ExpectDoneOrFailedWithCause(status);
}

INSTANTIATE_TEST_SUITE_P(Limits, ResourceLimitsTest,
                         testing::Values(LimitRow{"NoThreadBesideTheJobs", Limit::Threads, 2},
                                         LimitRow{"OneWorker", Limit::Threads, 3},
                                         LimitRow{"Memory8MiB", Limit::MemoryAbove, 8},
                                         LimitRow{"Memory24MiB", Limit::MemoryAbove, 24},
                                         LimitRow{"Memory64MiB", Limit::MemoryAbove, 64},
                                         LimitRow{"TenDescriptors", Limit::Descriptors, 10}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vaultpack
