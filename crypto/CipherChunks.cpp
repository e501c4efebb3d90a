#include "crypto/CipherChunks.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "crypto/BlowfishCipher.h"
#include "crypto/ChunkIoThread.h"
#include "crypto/EncryptedFileHeader.h"

namespace vaultpack {
namespace {

// The progress bar counts 64 KiB units for lengths of 64 KiB and more, bytes
// below that, so its range always fits 16 bits.
class ProgressScale {
public:
    explicit ProgressScale(std::uint32_t plainLength) : shift_(plainLength >= 65536 ? 16 : 0), range_(plainLength >> shift_) {}
    std::uint32_t Range() const { return range_; }
    std::uint32_t PositionFor(std::uint64_t plainLeft) const {
        return range_ - static_cast<std::uint32_t>(plainLeft >> shift_);
    }

private:
    int shift_;
    std::uint32_t range_;
};

}  // namespace

FileOperationStatus RunCipherChunks(FileHandle& source, FileHandle& target, const CipherChunkPlan& plan,
                                    const ChunkCipher& cipher, ProgressSink* progress) {
    // Two buffers take turns: one is enciphered in place while the I/O thread
    // writes the other's finished chunk and refills it with the next one.
    const std::size_t bufferSize = kCipherChunkSize + BlowfishCipher::kBlockSize;
    std::vector<unsigned char> first(bufferSize);
    std::vector<unsigned char> second(bufferSize);
    unsigned char* current = first.data();
    unsigned char* other = second.data();
    ChunkIoThread io(source, target);

    const ProgressScale scale(plan.plainLength);
    if (progress != nullptr) {
        progress->SetRange(scale.Range());
    }

    std::uint64_t unrequested = plan.readBytes;
    std::uint64_t writeLeft = plan.writeBytes;
    std::uint64_t plainLeft = plan.plainLength;
    const auto nextRequest = [&unrequested] {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kCipherChunkSize, unrequested));
        unrequested -= wanted;
        return wanted;
    };

    std::size_t wanted = nextRequest();
    io.Start(current, 0, wanted);
    std::size_t got = io.Wait();
    std::size_t pendingWrite = 0;
    while (wanted > 0) {
        if (progress != nullptr && progress->CancelRequested()) {
            return FileOperationStatus::Cancelled;
        }
        if (got != wanted) {
            throw CryptoError(CryptoFailure::SourceShrank, source.Path());
        }
        const std::size_t nextWanted = nextRequest();
        io.Start(other, pendingWrite, nextWanted);

        const auto cipherLength = static_cast<std::size_t>(PaddedLength(got));
        std::memset(current + got, 0, cipherLength - got);
        cipher(current, current, cipherLength);
        pendingWrite = static_cast<std::size_t>(std::min<std::uint64_t>(cipherLength, writeLeft));
        writeLeft -= pendingWrite;
        plainLeft -= std::min<std::uint64_t>(plainLeft, got);

        got = io.Wait();
        wanted = nextWanted;
        std::swap(current, other);
        if (progress != nullptr) {
            progress->SetPosition(scale.PositionFor(plainLeft));
        }
    }
    io.Start(other, pendingWrite, 0);
    io.Wait();
    if (progress != nullptr) {
        progress->SetPosition(scale.Range());
    }
    return FileOperationStatus::Completed;
}

}  // namespace vaultpack
