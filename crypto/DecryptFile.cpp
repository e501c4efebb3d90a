#include "crypto/DecryptFile.h"

#include <cstdint>

#include "crypto/BlowfishCipher.h"
#include "crypto/CipherChunks.h"
#include "crypto/EncryptedFileHeader.h"
#include "crypto/EncryptedFileReaders.h"
#include "files/FileHandle.h"
#include "files/TemporaryOutputFile.h"

namespace vaultpack {
namespace {

FileOperationResult Decrypt(const std::filesystem::path& sourcePath, std::string_view password,
                            ProgressSink* progress, bool replaceExisting) {
    const HeaderCheck headerCheck = CheckEncryptedHeader(sourcePath);
    if (!headerCheck.Valid()) {
        return FailedResult(headerCheck.failure, sourcePath);
    }
    if (password.empty() || !CheckPassword(sourcePath, password)) {
        return FailedResult(CryptoFailure::WrongPassword, sourcePath);
    }

    FileHandle source = FileHandle::OpenForReading(sourcePath);
    const std::uint64_t containerLength = static_cast<std::uint64_t>(source.Status().st_size);
    EncryptedFileHeader::Bytes headerBytes{};
    const std::size_t headerRead = source.Read(headerBytes.data(), headerBytes.size());
    const EncryptedFileHeader header = EncryptedFileHeader::Parse(headerBytes);
    const std::uint64_t cipherLength = PaddedLength(header.plainLength);
    if (headerRead < EncryptedFileHeader::kSize || containerLength - EncryptedFileHeader::kSize < cipherLength) {
        throw CryptoError(CryptoFailure::TruncatedContainer, sourcePath);
    }

    const std::filesystem::path targetPath = DecryptionTargetPath(sourcePath, header.storedName);
    if (IsSameFile(sourcePath, targetPath)) {
        throw CryptoError(CryptoFailure::TargetIsContainer, sourcePath);
    }

    const BlowfishCipher cipher(reinterpret_cast<const unsigned char*>(password.data()),
                                static_cast<unsigned>(password.size()));
    TemporaryOutputFile output(targetPath.parent_path());
    const CipherChunkPlan plan{.sourceOffset = EncryptedFileHeader::kSize,
                               .readBytes = cipherLength,
                               .writeBytes = header.plainLength,
                               .plainLength = header.plainLength,
                               .startWriteback = true};
    FileOperationResult result;
    result.status = RunCipherChunks(
        source, output.File(), plan,
        [&cipher](const unsigned char* in, unsigned char* out, std::size_t length) {
            cipher.Decrypt(in, out, length, kCipherModeEcb);
        },
        progress);
    if (result.status == FileOperationStatus::Completed) {
        output.CommitAs(targetPath, {.replaceExisting = replaceExisting, .durable = true});
        result.outputPath = targetPath;
    }
    return result;
}

}  // namespace

FileOperationResult DecryptFile(const std::filesystem::path& sourcePath, std::string_view password,
                                ProgressSink* progress, bool replaceExisting) {
    return RunFileOperation([&] { return Decrypt(sourcePath, password, progress, replaceExisting); });
}

}  // namespace vaultpack
