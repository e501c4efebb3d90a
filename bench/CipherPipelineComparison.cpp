// The cipher pass of EncryptFile and DecryptFile run two ways on the same
// file in one run: through our own WorkerPool and OrderedWindow
// (RunCipherChunks) and through oneTBB's parallel_pipeline, a serial_in_order
// stage that numbers the chunks, a parallel one that reads, ciphers and writes
// each, and a serial_in_order one that reports them in file order. Each run is
// a child process; the best wall time and the largest peak memory of each way
// are printed, and both outputs must be the same bytes.
//
// Then the rules the program's threads keep, checked for both: which worker
// threads run with SIGINT, SIGTERM and SIGHUP blocked (called from a thread
// that has them open, and from one that has them blocked as a job thread
// does), and how a pass ends when the system lets it start no thread at all.
//
//   build/release/bench/cipher_pipeline_compare [runs (default 5)] [MiB (default 256)]

#include <oneapi/tbb/parallel_pipeline.h>
#include <oneapi/tbb/task_arena.h>
#include <oneapi/tbb/task_group.h>

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchFiles.h"
#include "bench/ChildRuns.h"
#include "crypto/BlowfishCipher.h"
#include "crypto/CipherChunks.h"
#include "crypto/EncryptedFileHeader.h"
#include "files/FileHandle.h"
#include "files/WorkerPool.h"

namespace {

namespace fs = std::filesystem;
using vaultpack::CipherChunkPlan;
using vaultpack::ChunkCipher;
using vaultpack::FileHandle;
using vaultpack::FileOperationStatus;
using vaultpack::kCipherChunkSize;
using vaultpack::bench::ChildRun;
using vaultpack::bench::kBenchPassword;
using vaultpack::bench::Keep;
using vaultpack::bench::RunInChild;
using vaultpack::bench::SameBytes;
using vaultpack::bench::WriteRandomFile;

// Counts positions and never cancels, as a host whose user waits.
class QuietProgress final : public vaultpack::ProgressSink {
public:
    void SetRange(std::uint32_t) override {}
    void SetPosition(std::uint32_t) override { ++positions; }
    bool CancelRequested() const override { return false; }
    std::uint64_t positions = 0;
};

// The same pass as RunCipherChunks through oneTBB: `workers` threads in an
// arena of their own (the calling thread among them), as many chunks under
// way as the pass has (a token holds only its chunk's number, as our window
// spans the whole pass), positions in file order; a cancel request cancels
// the pipeline's task group.
FileOperationStatus RunCipherChunksWithTbb(FileHandle& source, FileHandle& target, const CipherChunkPlan& plan,
                                           const ChunkCipher& cipher, vaultpack::ProgressSink& progress,
                                           unsigned workers) {
    const std::uint64_t chunkCount = (plan.readBytes + kCipherChunkSize - 1) / kCipherChunkSize;
    progress.SetRange(static_cast<std::uint32_t>(chunkCount));
    oneapi::tbb::task_group_context context;
    oneapi::tbb::task_arena arena(static_cast<int>(workers));
    std::uint64_t next = 0;
    arena.execute([&] {
        oneapi::tbb::parallel_pipeline(
            static_cast<std::size_t>(std::max<std::uint64_t>(chunkCount, 1)),
            oneapi::tbb::make_filter<void, std::uint64_t>(oneapi::tbb::filter_mode::serial_in_order,
                                                          [&](oneapi::tbb::flow_control& control) -> std::uint64_t {
                                                              if (next == chunkCount) {
                                                                  control.stop();
                                                              }
                                                              return next++;
                                                          }) &
                oneapi::tbb::make_filter<std::uint64_t, std::uint64_t>(
                    oneapi::tbb::filter_mode::parallel,
                    [&](std::uint64_t chunk) {
                        thread_local std::vector<unsigned char> buffer;
                        vaultpack::CipherChunk(source, target, plan, cipher, chunk, buffer);
                        return chunk;
                    }) &
                oneapi::tbb::make_filter<std::uint64_t, void>(oneapi::tbb::filter_mode::serial_in_order,
                                                              [&](std::uint64_t chunk) {
                                                                  progress.SetPosition(
                                                                      static_cast<std::uint32_t>(chunk + 1));
                                                                  if (progress.CancelRequested()) {
                                                                      context.cancel_group_execution();
                                                                  }
                                                              }),
            context);
    });
    return context.is_group_execution_cancelled() ? FileOperationStatus::Cancelled : FileOperationStatus::Completed;
}

using Pass = std::function<FileOperationStatus(FileHandle&, FileHandle&, const CipherChunkPlan&, const ChunkCipher&,
                                               vaultpack::ProgressSink&, unsigned)>;

const Pass kOurs = [](FileHandle& source, FileHandle& target, const CipherChunkPlan& plan, const ChunkCipher& cipher,
                      vaultpack::ProgressSink& progress, unsigned workers) {
    return vaultpack::RunCipherChunks(source, target, plan, cipher, &progress, workers);
};
const Pass kTbb = RunCipherChunksWithTbb;

// Blowfish under the benchmarks' password.
vaultpack::BlowfishCipher BenchBlowfish() {
    return vaultpack::BlowfishCipher(reinterpret_cast<const unsigned char*>(kBenchPassword.data()),
                                     static_cast<unsigned>(kBenchPassword.size()));
}

// Enciphers `plain` into `container` after a header's room, or deciphers it
// back into `restored`, as EncryptFile and DecryptFile plan their passes.
bool RunPass(const Pass& pass, const fs::path& from, const fs::path& to, bool encrypt, unsigned workers) {
    const vaultpack::BlowfishCipher blowfish = BenchBlowfish();
    FileHandle source = FileHandle::OpenForReading(from);
    FileHandle target = FileHandle::CreateOrTruncate(to);
    const auto length = static_cast<std::uint64_t>(source.Status().st_size);
    constexpr std::uint64_t kHeader = vaultpack::EncryptedFileHeader::kSize;
    const CipherChunkPlan plan =
        encrypt ? CipherChunkPlan{.targetOffset = kHeader,
                                  .readBytes = length,
                                  .writeBytes = vaultpack::PaddedLength(length),
                                  .plainLength = static_cast<std::uint32_t>(length)}
                : CipherChunkPlan{.sourceOffset = kHeader,
                                  .readBytes = length - kHeader,
                                  .writeBytes = length - kHeader,
                                  .plainLength = static_cast<std::uint32_t>(length - kHeader),
                                  .startWriteback = true};
    const ChunkCipher cipher = [&](const unsigned char* in, unsigned char* out, std::size_t size) {
        if (encrypt) {
            blowfish.Encrypt(in, out, size, vaultpack::kCipherModeEcb);
        } else {
            blowfish.Decrypt(in, out, size, vaultpack::kCipherModeEcb);
        }
    };
    QuietProgress progress;
    const bool completed = pass(source, target, plan, cipher, progress, workers) == FileOperationStatus::Completed;
    target.Close();
    return completed;
}

// Each worker thread that ciphered a chunk, and whether it had SIGINT, SIGTERM
// and SIGHUP all blocked. A chunk on the calling thread (which oneTBB makes
// work too) waits a while for a worker to come, so that a worker the pass has
// is counted even when the calling thread could do every chunk alone.
struct SignalCensus {
    std::mutex mutex;
    std::condition_variable workerCame;
    std::set<pid_t> threads;
    std::set<pid_t> blocked;
    bool waited = false;  // once: with no worker at all the calling thread does every chunk

    void Note(pid_t caller) {
        const pid_t self = ::gettid();
        std::unique_lock lock(mutex);
        if (self == caller) {
            if (!waited) {
                workerCame.wait_for(lock, std::chrono::seconds(5), [&] { return !threads.empty(); });
                waited = true;
            }
            return;
        }
        sigset_t mask;
        ::pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        threads.insert(self);
        if (::sigismember(&mask, SIGINT) == 1 && ::sigismember(&mask, SIGTERM) == 1 &&
            ::sigismember(&mask, SIGHUP) == 1) {
            blocked.insert(self);
        }
        workerCame.notify_all();
    }
};

// In one child, runs a pass over the first 64 chunks of `plain` for each of
// `calls`: from a thread with the termination signals open (false, as the
// main thread) or blocked (true, as a job thread). Prints how many worker
// threads of the last pass had them blocked.
void CheckSignals(const char* name, const Pass& pass, const std::vector<bool>& calls, unsigned workers,
                  const fs::path& plain) {
    const auto census = [&](bool last) {
        SignalCensus seen;
        const pid_t caller = ::gettid();
        const vaultpack::BlowfishCipher blowfish = BenchBlowfish();
        const ChunkCipher cipher = [&](const unsigned char* in, unsigned char* out, std::size_t size) {
            seen.Note(caller);
            blowfish.Encrypt(in, out, size, vaultpack::kCipherModeEcb);
        };
        FileHandle source = FileHandle::OpenForReading(plain);
        FileHandle target = FileHandle::CreateOrTruncate("/dev/null");
        const CipherChunkPlan plan{.readBytes = 64 * kCipherChunkSize, .writeBytes = 64 * kCipherChunkSize};
        QuietProgress progress;
        pass(source, target, plan, cipher, progress, workers);
        if (last) {
            std::string callers;
            for (const bool blocked : calls) {
                callers += callers.empty() ? "" : ", then ";
                callers += blocked ? "blocked" : "open";
            }
            std::printf("  %-4s signals of the calling threads %-22s: %zu worker threads, %zu with them blocked\n",
                        name, callers.c_str(), seen.threads.size(), seen.blocked.size());
            std::fflush(stdout);
        }
    };
    std::fflush(stdout);
    RunInChild([&] {
        for (std::size_t call = 0; call < calls.size(); ++call) {
            const bool last = call + 1 == calls.size();
            if (calls[call]) {
                vaultpack::StartThreadWithTerminationSignalsBlocked([&] { census(last); }).join();
            } else {
                census(last);
            }
        }
        return true;
    });
}

// In a child that may start no thread (an unprivileged user at its process
// limit), runs a pass and prints how it ended.
void CheckNoThread(const char* name, const Pass& pass, const fs::path& plain, const fs::path& folder) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{1, 1};
        if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(3);
        }
        if (::setrlimit(RLIMIT_NPROC, &limit) != 0) {
            ::_exit(3);
        }
        try {
            ::_exit(RunPass(pass, plain, folder / (std::string(name) + "-nothread"), true, 4) ? 0 : 1);
        } catch (const std::exception& error) {
            std::printf("  %-4s threw: %s\n", name, error.what());
            std::fflush(stdout);
            ::_exit(2);
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        std::printf("  %-4s with no thread to start: ended by signal %d (%s)\n", name, WTERMSIG(status),
                    ::strsignal(WTERMSIG(status)));
    } else {
        const int code = WEXITSTATUS(status);
        std::printf("  %-4s with no thread to start: %s\n", name,
                    code == 0   ? "completed on the calling thread"
                    : code == 3 ? "(could not set up the limit)"
                                : "failed with an exception");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int mebibytes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 256;
    const unsigned workers = vaultpack::DefaultCipherWorkers();

    const fs::path folder = fs::temp_directory_path() / ("vaultpack-pipeline-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::all);  // the child without threads runs as another user
    const fs::path plain = folder / "plain.bin";
    WriteRandomFile(plain, mebibytes);
    fs::permissions(plain, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    struct Way {
        const char* name;
        Pass pass;
        ChildRun encrypt, decrypt;
    };
    std::vector<Way> ways{{"ours", kOurs, {}, {}}, {"tbb", kTbb, {}, {}}};
    // The ways take turns; each run writes files that do not exist yet.
    for (int run = 0; run < runs; ++run) {
        for (Way& way : ways) {
            const fs::path container = folder / (std::string(way.name) + ".ezc");
            const fs::path restored = folder / (std::string(way.name) + ".plain");
            fs::remove(container);
            fs::remove(restored);
            Keep(way.encrypt, RunInChild([&] { return RunPass(way.pass, plain, container, true, workers); }),
                 std::string(way.name) + " encrypt");
            Keep(way.decrypt, RunInChild([&] { return RunPass(way.pass, container, restored, false, workers); }),
                 std::string(way.name) + " decrypt");
        }
    }

    std::printf("%d MiB, best of %d runs, %u cipher threads\n", mebibytes, runs, workers);
    for (const Way& way : ways) {
        std::printf("%-4s  encrypt %6.3f s (cpu %6.3f s) %6.1f MiB   decrypt %6.3f s (cpu %6.3f s) %6.1f MiB\n",
                    way.name, way.encrypt.seconds, way.encrypt.cpuSeconds, way.encrypt.peakKiB / 1024.0,
                    way.decrypt.seconds, way.decrypt.cpuSeconds, way.decrypt.peakKiB / 1024.0);
    }
    std::printf("tbb/ours  encrypt %5.2f   decrypt %5.2f\n", ways[1].encrypt.seconds / ways[0].encrypt.seconds,
                ways[1].decrypt.seconds / ways[0].decrypt.seconds);
    const bool sameCipher = SameBytes(folder / "ours.ezc", 0, folder / "tbb.ezc");
    const bool restored = SameBytes(folder / "ours.plain", 0, plain) && SameBytes(folder / "tbb.plain", 0, plain);
    std::printf("cipher texts identical: %s; both restored files identical to the source: %s\n",
                sameCipher ? "yes" : "NO", restored ? "yes" : "NO");

    std::printf("termination signals (SIGINT, SIGTERM, SIGHUP) on the worker threads:\n");
    for (const Way& way : ways) {
        for (const std::vector<bool>& calls : {std::vector<bool>{false}, {true}, {false, true}}) {
            CheckSignals(way.name, way.pass, calls, workers, plain);
        }
    }
    for (const Way& way : ways) {
        CheckNoThread(way.name, way.pass, plain, folder);
    }
    fs::remove_all(folder);
    return sameCipher && restored ? 0 : 1;
}
