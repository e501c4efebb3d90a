#include "crypto/DecryptFile.h"

#include <cstdint>
#include <optional>

#include "crypto/BlowfishCipher.h"
#include "crypto/CipherChunks.h"
#include "crypto/EncryptedFileHeader.h"
#include "files/FileHandle.h"
#include "files/OutputFile.h"

namespace vaultpack {
namespace {

FileOperationResult Decrypt(EncryptedContainer& container, std::string_view password,
                            const PlaintextOutput& makeOutput, ProgressSink* progress) {
    const HeaderCheck headerCheck = container.CheckHeader();
    if (!headerCheck.Valid()) {
        return FailedResult(Failure::Of(headerCheck.failure, container.Path()));
    }
    if (password.empty() || !container.PasswordMatches(password)) {
        return FailedResult(Failure::Of(FailureReason::WrongPassword, container.Path()));
    }

    const EncryptedFileHeader& header = container.Header();
    const std::uint64_t cipherLength = PaddedLength(header.plainLength);
    // The length now, not when the header was read: the file may have been
    // cut short in the meantime.
    const auto containerLength = static_cast<std::uint64_t>(container.File().Status().st_size);
    if (!container.HeaderComplete() || containerLength < EncryptedFileHeader::kSize + cipherLength) {
        throw FailureError(Failure::Of(FailureReason::TruncatedContainer, container.Path()));
    }

    const std::filesystem::path targetPath = container.TargetPath();
    if (container.IsAt(targetPath)) {
        throw FailureError(Failure::Of(FailureReason::TargetIsContainer, container.Path()));
    }

    const BlowfishCipher cipher(reinterpret_cast<const unsigned char*>(password.data()),
                                static_cast<unsigned>(password.size()));
    FileHandle& output = makeOutput(targetPath);
    const CipherChunkPlan plan{.sourceOffset = EncryptedFileHeader::kSize,
                               .readBytes = cipherLength,
                               .writeBytes = header.plainLength,
                               .plainLength = header.plainLength,
                               .startWriteback = true};
    FileOperationResult result;
    result.status = RunCipherChunks(
        container.File(), output, plan,
        [&cipher](const unsigned char* in, unsigned char* out, std::size_t length) {
            cipher.Decrypt(in, out, length, kCipherModeEcb);
        },
        progress);
    if (result.status == FileOperationStatus::Completed) {
        result.outputPath = targetPath;
    }
    return result;
}

}  // namespace

FileOperationResult DecryptFile(EncryptedContainer& container, std::string_view password,
                                const PlaintextOutput& output, ProgressSink* progress) {
    return RunFileOperation([&] { return Decrypt(container, password, output, progress); });
}

FileOperationResult DecryptFile(EncryptedContainer& container, std::string_view password, ProgressSink* progress,
                                bool replaceExisting) {
    return RunFileOperation([&] {
        std::optional<OutputFile> output;
        FileOperationResult result = Decrypt(
            container, password,
            [&](const std::filesystem::path& targetPath) -> FileHandle& { return output.emplace(targetPath).File(); },
            progress);
        if (result.Completed()) {
            output->Commit({.replaceExisting = replaceExisting, .durable = true});
        }
        return result;
    });
}

FileOperationResult DecryptFile(const std::filesystem::path& sourcePath, std::string_view password,
                                ProgressSink* progress, bool replaceExisting) {
    return RunFileOperation([&] {
        EncryptedContainer container = EncryptedContainer::Open(sourcePath);
        return DecryptFile(container, password, progress, replaceExisting);
    });
}

}  // namespace vaultpack
