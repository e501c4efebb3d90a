#include "crypto/CipherChunks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "crypto/BlowfishCipher.h"
#include "crypto/EncryptedFileHeader.h"
#include "tests/crypto/RecordingProgress.h"
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

TEST_F(CipherChunksTest, CancelStopsEveryWorkerWithinAFewChunks) {
    const std::size_t chunks = 40;
    const int workers = 4;
    Bytes plain(chunks * kChunk, 5);
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
        plain[chunk * kChunk] = static_cast<unsigned char>(chunk);  // so the cipher knows which it has
    }
    test::WriteFile(dir / "plain", plain);
    // Notes when the pass has been told to cancel.
    struct WatchedProgress : test::RecordingProgress {
        bool CancelRequested() const override {
            const bool cancel = RecordingProgress::CancelRequested();
            if (cancel) {
                const std::lock_guard lock(mutex);
                told = true;
                toldChanged.notify_all();
            }
            return cancel;
        }
        // Waits until told, or a while when the pass never asks: the test then fails instead of hanging.
        void AwaitTold() const {
            std::unique_lock lock(mutex);
            toldChanged.wait_for(lock, std::chrono::seconds(10), [this] { return told; });
        }
        mutable std::mutex mutex;
        mutable std::condition_variable toldChanged;
        mutable bool told = false;
    } progress;
    progress.cancelAfterPositions = 2;
    std::atomic<int> calls = 0;
    // The two chunks the cancel comes after, and one more for each worker, go
    // through. Later ones wait until the pass is told to cancel and then take
    // long, so that a worker could begin another chunk only if the pass took
    // that long to stop them after the cancel.
    const ChunkCipher slow = [&](const unsigned char* in, unsigned char* out, std::size_t length) {
        ++calls;
        if (in[0] >= 2 + workers) {
            progress.AwaitTold();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        cipher.Encrypt(in, out, length, kCipherModeEcb);
    };
    EXPECT_EQ(Run(dir / "plain", dir / "out", EncryptPlan(chunks * kChunk), slow, workers, &progress),
              FileOperationStatus::Cancelled);
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"range 62", "position 2", "position 3"}));
    // At most one chunk per worker is begun while the cancel is awaited.
    EXPECT_LE(calls.load(), 2 + 2 * workers);
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
            } catch (const CryptoError& error) {
                EXPECT_EQ(error.Failure(), CryptoFailure::SourceShrank);
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
