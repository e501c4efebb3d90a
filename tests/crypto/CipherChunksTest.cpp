#include "crypto/CipherChunks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

#include "crypto/BlowfishCipher.h"
#include "crypto/EncryptedFileHeader.h"
#include "tests/crypto/RecordingProgress.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

constexpr std::size_t kChunk = kCipherChunkSize;
constexpr std::uint64_t kHeader = EncryptedFileHeader::kSize;
const std::string kKey = "chunk-key";

class CipherChunksTest : public ::testing::Test {
protected:
    test::TempDir dir;
    const BlowfishCipher cipher{reinterpret_cast<const unsigned char*>(kKey.data()),
                                static_cast<unsigned>(kKey.size())};
    const ChunkCipher encrypt = [this](const unsigned char* in, unsigned char* out, std::size_t length) {
        cipher.Encrypt(in, out, length, kCipherModeEcb);
    };
    const ChunkCipher decrypt = [this](const unsigned char* in, unsigned char* out, std::size_t length) {
        cipher.Decrypt(in, out, length, kCipherModeEcb);
    };

    // Runs one pass from `from` into a new file `to` whose bytes before the
    // plan's target offset are 'H', as the encoder writes its header.
    FileOperationStatus Run(const fs::path& from, const fs::path& to, const CipherChunkPlan& plan,
                            const ChunkCipher& chunkCipher, unsigned workers, ProgressSink* progress = nullptr) {
        FileHandle source = FileHandle::OpenForReading(from);
        FileHandle target = FileHandle::CreateOrTruncate(to);
        const Bytes header(plan.targetOffset, 'H');
        target.WriteAll(header.data(), header.size());
        return RunCipherChunks(source, target, plan, chunkCipher, progress, workers);
    }
    static CipherChunkPlan EncryptPlan(std::uint64_t length) {
        return {.targetOffset = kHeader, .readBytes = length, .writeBytes = PaddedLength(length),
                .plainLength = static_cast<std::uint32_t>(length)};
    }
};

TEST_F(CipherChunksTest, OneAndSeveralWorkersWriteTheSameBytes) {
    for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 102399u, 102400u, 102401u, 512005u}) {
        SCOPED_TRACE(length);
        const Bytes plain = test::PseudoRandomBytes(length, static_cast<unsigned>(length) + 3);
        test::WriteFile(dir / "plain", plain);
        ASSERT_EQ(Run(dir / "plain", dir / "one", EncryptPlan(length), encrypt, 1), FileOperationStatus::Completed);
        ASSERT_EQ(Run(dir / "plain", dir / "four", EncryptPlan(length), encrypt, 4), FileOperationStatus::Completed);

        // The header stays; after it comes the zero-padded plaintext
        // enciphered in one piece.
        Bytes expected(kHeader, 'H');
        Bytes padded = plain;
        padded.resize(PaddedLength(length), 0);
        if (!padded.empty()) {
            cipher.Encrypt(padded.data(), padded.data(), padded.size(), kCipherModeEcb);
        }
        expected.insert(expected.end(), padded.begin(), padded.end());
        const Bytes one = test::ReadFile(dir / "one");
        EXPECT_EQ(one, expected);
        EXPECT_EQ(test::ReadFile(dir / "four"), one);

        // Back again from after the header, the padding cut off.
        const CipherChunkPlan back{.sourceOffset = kHeader, .readBytes = PaddedLength(length), .writeBytes = length,
                                   .plainLength = static_cast<std::uint32_t>(length)};
        ASSERT_EQ(Run(dir / "four", dir / "back", back, decrypt, 4), FileOperationStatus::Completed);
        EXPECT_EQ(test::ReadFile(dir / "back"), plain);
    }
}

TEST_F(CipherChunksTest, PositionsGoOutInFileOrderWhateverTheWorkers) {
    const std::vector<std::string> expected{"range 15",    "position 1",  "position 3",  "position 4", "position 6",
                                            "position 7",  "position 9",  "position 11", "position 12",
                                            "position 14", "position 15", "position 15", "position 15"};
    test::WriteFile(dir / "plain", test::PseudoRandomBytes(1040000));
    for (unsigned workers : {1u, 3u, 8u}) {
        SCOPED_TRACE(workers);
        test::RecordingProgress progress;
        ASSERT_EQ(Run(dir / "plain", dir / "out", EncryptPlan(1040000), encrypt, workers, &progress),
                  FileOperationStatus::Completed);
        EXPECT_EQ(progress.calls, expected);
    }
}

// Whether thread `waiter` of this process waits to join one of `threads`: the
// kernel shows pthread_join as a futex wait on the joined thread's id.
bool WaitsToJoin(pid_t waiter, const std::set<pid_t>& threads) {
    std::ifstream file("/proc/self/task/" + std::to_string(waiter) + "/syscall");
    long number = -1;
    std::string address, operation, value;
    file >> number >> address >> operation >> value;
    return file && number == SYS_futex && threads.contains(static_cast<pid_t>(std::stol(value, nullptr, 16)));
}

// Polls `condition` until it holds; false after a deadline far beyond any
// load, so that a broken pass fails the test instead of hanging it.
bool Eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The pass is told to cancel while every worker is inside a chunk, and those
// chunks end only once the pass waits to join its workers: a pass that stopped
// them first hands out no chunk after that, whatever the timing.
TEST_F(CipherChunksTest, CancelStopsEveryWorkerBeforeWaitingForThem) {
    const std::size_t chunks = 40;
    const unsigned workers = 4;
    Bytes plain(chunks * kChunk, 5);
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
        plain[chunk * kChunk] = static_cast<unsigned char>(chunk);  // so the cipher knows which it has
    }
    test::WriteFile(dir / "plain", plain);

    std::mutex mutex;
    std::condition_variable changed;
    std::set<pid_t> held;  // the workers inside a chunk after the first two, by thread id
    bool told = false, released = false;
    int begunAfterRelease = 0;
    const auto await = [&](std::unique_lock<std::mutex>& lock, const std::function<bool()>& condition) {
        test::Await(changed, lock, condition, "the workers to reach and leave their chunks");
    };
    struct CancellingProgress : test::RecordingProgress {
        std::function<void()> onCancel;
        bool CancelRequested() const override {
            const bool cancel = RecordingProgress::CancelRequested();
            if (cancel) {
                onCancel();
            }
            return cancel;
        }
    } progress;
    progress.cancelAfterPositions = 2;
    progress.onCancel = [&] {
        std::unique_lock lock(mutex);
        await(lock, [&] { return held.size() == workers; });
        told = true;
    };
    const ChunkCipher holding = [&](const unsigned char* in, unsigned char* out, std::size_t length) {
        if (in[0] >= 2) {
            std::unique_lock lock(mutex);
            if (released) {
                ++begunAfterRelease;
            } else {
                held.insert(::gettid());
                changed.notify_all();
                await(lock, [&] { return released; });
            }
        }
        cipher.Encrypt(in, out, length, kCipherModeEcb);
    };

    std::atomic<pid_t> passThread = 0;
    FileOperationStatus status = FileOperationStatus::Completed;
    std::thread pass([&] {
        passThread = ::gettid();
        status = Run(dir / "plain", dir / "out", EncryptPlan(chunks * kChunk), holding, workers, &progress);
    });
    const bool joining = Eventually([&] {
        const std::lock_guard lock(mutex);
        return told && WaitsToJoin(passThread, held);
    });
    {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    pass.join();

    EXPECT_TRUE(joining) << "the pass never waited for its workers";
    EXPECT_EQ(status, FileOperationStatus::Cancelled);
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"range 62", "position 2", "position 3"}));
    EXPECT_EQ(begunAfterRelease, 0) << "chunks handed out after the pass was cancelled";
}

TEST_F(CipherChunksTest, SourceShorterThanPlannedFailsAsShrunk) {
    // Cut inside a chunk, and at a chunk boundary where the later reads get nothing.
    for (std::size_t actual : {std::size_t{250000}, 2 * kChunk}) {
        for (unsigned workers : {1u, 4u}) {
            SCOPED_TRACE(testing::Message() << actual << " bytes, " << workers << " workers");
            test::WriteFile(dir / "plain", Bytes(actual, 6));
            try {
                Run(dir / "plain", dir / "out", EncryptPlan(5 * kChunk), encrypt, workers);
                ADD_FAILURE() << "no failure";
            } catch (const FailureError& error) {
                EXPECT_EQ(error.Get().reason, FailureReason::SourceShrank);
            }
        }
    }
}

TEST_F(CipherChunksTest, WriteFailureOfAnyWorkerIsThrown) {
    test::WriteFile(dir / "plain", Bytes(5 * kChunk, 7));
    test::WriteFile(dir / "readonly", "");
    FileHandle source = FileHandle::OpenForReading(dir / "plain");
    FileHandle target = FileHandle::OpenForReading(dir / "readonly");
    try {
        RunCipherChunks(source, target, EncryptPlan(5 * kChunk), encrypt, nullptr, 4);
        ADD_FAILURE() << "no failure";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Operation(), FileOperation::Write);
        EXPECT_EQ(error.Path(), dir / "readonly");
    }
}

}  // namespace
}  // namespace vaultpack
