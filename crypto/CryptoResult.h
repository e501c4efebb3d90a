#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "files/FileHandle.h"

namespace vaultpack {

// Why an encryption or decryption did not complete.
enum class CryptoFailure {
    None,
    NotEncryptedFile,    // the container does not start with the magic
    VersionMismatch,     // magic right, version byte wrong
    WrongPassword,       // the password's digest differs from the stored one
    EmptyPassword,
    SourceTooLarge,      // 4 GiB or more does not fit the 32-bit length field
    NameTooLong,         // the name does not fit the 260-byte field with its terminator
    TargetIsSource,      // the encrypted output would replace the file being read
    TargetIsContainer,   // the decrypted output would replace its own container
    TruncatedContainer,  // fewer cipher bytes than the stored length needs
    SourceShrank,        // the file ended early while it was being read
    UnsafeStoredName,    // the stored name is not a plain file name
    FileAccess,          // opening, reading, writing or renaming failed
    OutOfMemory,
    CannotStartThread,   // not one worker thread could be started
    Internal,            // anything else that was thrown (cipher misuse)
};

enum class FileOperationStatus { Completed, Cancelled, Failed };

// The outcome of EncryptFile or DecryptFile.
struct FileOperationResult {
    FileOperationStatus status = FileOperationStatus::Completed;
    CryptoFailure failure = CryptoFailure::None;
    // The file the failure is about (the source, the container, the output).
    std::filesystem::path subject;
    // NameTooLong and UnsafeStoredName: the name concerned.
    std::string name;
    // FileAccess: which operation failed on which file, and why.
    std::optional<FileError> fileError;
    // CannotStartThread: the system's error number.
    int threadStartError = 0;
    // Internal: what the unexpected exception said, for diagnostics.
    std::string internalDetail;
    // Where the decrypted plaintext was written.
    std::filesystem::path outputPath;

    bool Completed() const { return status == FileOperationStatus::Completed; }
};

// Thrown inside the engine for a refusal with a known reason, about the file
// `subject` (and the name concerned, where there is one); the public
// operations turn it into a failed FileOperationResult. what() is a terse
// diagnostic, not a text for the user.
class CryptoError : public std::runtime_error {
public:
    CryptoError(CryptoFailure failure, std::filesystem::path subject, std::string name = {});
    CryptoFailure Failure() const { return failure_; }
    const std::filesystem::path& Subject() const { return subject_; }
    const std::string& Name() const { return name_; }

private:
    CryptoFailure failure_;
    std::filesystem::path subject_;
    std::string name_;
};

// A failed result for a refusal, as RunFileOperation makes it of a CryptoError.
FileOperationResult FailedResult(CryptoFailure failure, std::filesystem::path subject, std::string name = {});

// Runs one encryption or decryption, turning whatever it throws into a failed
// result: refusals keep their reason, file errors become FileAccess, running
// out of memory or threads their own failures, and any other exception Internal.
FileOperationResult RunFileOperation(const std::function<FileOperationResult()>& operation);

}  // namespace vaultpack
