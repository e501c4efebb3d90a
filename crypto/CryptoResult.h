#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "resources/MessageId.h"

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
    TargetIsSource,      // the output would replace the file being read
    TruncatedContainer,  // fewer cipher bytes than the stored length needs
    SourceShrank,        // the file ended early while it was being read
    UnsafeStoredName,    // the stored name is not a plain file name
    FileAccess,          // opening, reading, writing or renaming failed
    Internal,            // anything else that was thrown (cipher misuse, memory)
};

enum class FileOperationStatus { Completed, Cancelled, Failed };

// The outcome of EncryptFile or DecryptFile.
struct FileOperationResult {
    FileOperationStatus status = FileOperationStatus::Completed;
    CryptoFailure failure = CryptoFailure::None;
    // The catalogue text that tells the user about a failure.
    MessageId message = MessageId::DecryptFailed;
    // The technical reason in English, for error output and diagnostics.
    std::string detail;
    // Where the decrypted plaintext was written.
    std::filesystem::path outputPath;

    bool Completed() const { return status == FileOperationStatus::Completed; }
};

// Thrown inside the engine for a refusal with a known reason; the public
// operations turn it into a failed FileOperationResult.
class CryptoError : public std::runtime_error {
public:
    CryptoError(CryptoFailure failure, const std::string& detail) : std::runtime_error(detail), failure_(failure) {}
    CryptoFailure Failure() const { return failure_; }

private:
    CryptoFailure failure_;
};

// Runs one encryption or decryption, turning whatever it throws into a failed
// result: refusals keep their reason, file errors become FileAccess and any
// other exception Internal. `genericMessage` names the failure for the user
// unless the reason has a message of its own (wrong password, not a container,
// wrong version).
FileOperationResult RunFileOperation(MessageId genericMessage, const std::function<FileOperationResult()>& operation);

}  // namespace vaultpack
