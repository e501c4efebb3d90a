#include "crypto/CipherChunks.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "crypto/BlowfishCipher.h"
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
    const std::size_t bufferSize = kCipherChunkSize + BlowfishCipher::kBlockSize;
    std::vector<unsigned char> input(bufferSize);
    std::vector<unsigned char> output(bufferSize);

    const ProgressScale scale(plan.plainLength);
    if (progress != nullptr) {
        progress->SetRange(scale.Range());
    }

    std::uint64_t readLeft = plan.readBytes;
    std::uint64_t writeLeft = plan.writeBytes;
    std::uint64_t plainLeft = plan.plainLength;
    while (readLeft > 0) {
        if (progress != nullptr && progress->CancelRequested()) {
            return FileOperationStatus::Cancelled;
        }
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kCipherChunkSize, readLeft));
        const std::size_t got = source.Read(input.data(), wanted);
        if (got != wanted) {
            throw CryptoError(CryptoFailure::SourceShrank,
                              "\"" + source.Path().string() + "\" ended early while it was being read");
        }
        readLeft -= got;

        const auto cipherLength = static_cast<std::size_t>(PaddedLength(got));
        std::memset(input.data() + got, 0, cipherLength - got);
        cipher(input.data(), output.data(), cipherLength);

        const auto keep = static_cast<std::size_t>(std::min<std::uint64_t>(cipherLength, writeLeft));
        target.WriteAll(output.data(), keep);
        writeLeft -= keep;
        plainLeft -= std::min<std::uint64_t>(plainLeft, got);
        if (progress != nullptr) {
            progress->SetPosition(scale.PositionFor(plainLeft));
        }
    }
    if (progress != nullptr) {
        progress->SetPosition(scale.Range());
    }
    return FileOperationStatus::Completed;
}

}  // namespace vaultpack
