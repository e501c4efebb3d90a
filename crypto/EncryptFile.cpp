#include "crypto/EncryptFile.h"

#include <cstdint>
#include <functional>
#include <optional>

#include <sys/stat.h>

#include "crypto/BlowfishCipher.h"
#include "crypto/CipherChunks.h"
#include "crypto/EncryptedFileHeader.h"
#include "files/FileHandle.h"
#include "crypto/StoredName.h"

namespace vaultpack {
namespace {

// The chain block handed to the cipher; ECB never uses it.
constexpr CipherBlock kFixedChain{0x12345678, 0x9ABCDEF0};

// Checks everything that refuses the encryption before it asks for the target.
FileOperationResult Encrypt(const std::filesystem::path& sourcePath, const std::function<FileHandle&()>& openTarget,
                            const std::filesystem::path& targetPath, std::string_view password, std::string_view hint,
                            bool markZip, ProgressSink* progress) {
    if (password.empty()) {
        throw FailureError(Failure::Of(FailureReason::EmptyPassword, sourcePath));
    }
    FileHandle source = FileHandle::OpenForReading(sourcePath);
    const std::uint64_t sourceLength = static_cast<std::uint64_t>(source.Status().st_size);
    if (sourceLength > UINT32_MAX) {
        throw FailureError(Failure::Of(FailureReason::SourceTooLarge, sourcePath));
    }
    EncryptedFileHeader header;
    header.storedName = sourcePath.filename().string();
    if (header.storedName.size() > EncryptedFileHeader::kMaxStoredNameLength) {
        throw FailureError(Failure::Of(FailureReason::NameTooLong, sourcePath, header.storedName));
    }
    FileHandle& target = openTarget();
    const struct stat sourceStatus = source.Status(), targetStatus = target.Status();
    if (sourceStatus.st_dev == targetStatus.st_dev && sourceStatus.st_ino == targetStatus.st_ino) {
        throw FailureError(Failure::Of(FailureReason::TargetIsSource, sourcePath));
    }
    header.plainLength = static_cast<std::uint32_t>(sourceLength);
    header.passwordDigest = Md5Context::Of(password);
    header.hint = std::string(hint);
    header.zipFlag = markZip && HasZipExtension(header.storedName) ? 1 : 0;

    const EncryptedFileHeader::Bytes headerBytes = header.Serialize();
    target.WriteAll(headerBytes.data(), headerBytes.size());

    const BlowfishCipher cipher(reinterpret_cast<const unsigned char*>(password.data()),
                                static_cast<unsigned>(password.size()), kFixedChain);
    const CipherChunkPlan plan{.targetOffset = headerBytes.size(),
                               .readBytes = sourceLength,
                               .writeBytes = PaddedLength(sourceLength),
                               .plainLength = header.plainLength};
    const FileOperationStatus status = RunCipherChunks(
        source, target, plan,
        [&cipher](const unsigned char* in, unsigned char* out, std::size_t length) {
            cipher.Encrypt(in, out, length, kCipherModeEcb);
        },
        progress);

    FileOperationResult result;
    result.status = status;
    result.outputPath = targetPath;
    return result;
}

}  // namespace

FileOperationResult EncryptFile(const std::filesystem::path& sourcePath, FileHandle& target,
                                const std::filesystem::path& targetPath, std::string_view password,
                                std::string_view hint, bool markZip, ProgressSink* progress) {
    return RunFileOperation([&] {
        return Encrypt(sourcePath, [&]() -> FileHandle& { return target; }, targetPath, password, hint, markZip,
                       progress);
    });
}

FileOperationResult EncryptFile(const std::filesystem::path& sourcePath, const std::filesystem::path& targetPath,
                                std::string_view password, std::string_view hint, bool markZip,
                                ProgressSink* progress) {
    return RunFileOperation([&] {
        // Opening the target truncates it: the source must not be it.
        if (IsSameFile(sourcePath, targetPath)) {
            throw FailureError(Failure::Of(FailureReason::TargetIsSource, sourcePath));
        }
        std::optional<FileHandle> target;
        FileOperationResult result = Encrypt(
            sourcePath, [&]() -> FileHandle& { return target.emplace(FileHandle::CreateOrTruncate(targetPath)); },
            targetPath, password, hint, markZip, progress);
        if (target) {
            target->Close();
        }
        return result;
    });
}

}  // namespace vaultpack
