#pragma once

#include <filesystem>
#include <functional>

#include "files/Failure.h"

namespace vaultpack {

enum class FileOperationStatus { Completed, Cancelled, Failed };

// The outcome of EncryptFile or DecryptFile.
struct FileOperationResult {
    FileOperationStatus status = FileOperationStatus::Completed;
    // Why, when Failed: the file concerned is the failure's path.
    Failure failure;
    // Where the decrypted plaintext was written.
    std::filesystem::path outputPath;

    bool Completed() const { return status == FileOperationStatus::Completed; }
};

// A failed result for a refusal, as RunFileOperation makes it of a FailureError.
FileOperationResult FailedResult(Failure failure);

// Runs one encryption or decryption, turning whatever it throws into a failed
// result: the engine's failures keep their reason, running out of memory its
// own, and any other exception is Internal.
FileOperationResult RunFileOperation(const std::function<FileOperationResult()>& operation);

}  // namespace vaultpack
