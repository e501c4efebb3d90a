#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

#include "crypto/CryptoResult.h"
#include "crypto/EncryptedContainer.h"
#include "files/FileHandle.h"
#include "files/ProgressSink.h"

namespace vaultpack {

// Restores the plaintext of `container` beside it, under its TargetPath(),
// reading the ciphertext through the container's own open file under the
// header read when it was opened. The plaintext is written to a temporary
// file in that folder and renamed over the target only when complete, so a
// file already standing there survives a failure or a cancellation.
//
// Completed (with outputPath set) when the whole plaintext was written;
// Cancelled when the progress sink's cancel request stopped it (nothing is
// left behind). Failed without creating anything for a bad header (message 151
// or 152), a wrong password (message 119), a container shorter than its stored
// length needs, an unusable stored name, or a target that is the container
// itself; other failures name message 121.
//
// With replaceExisting false (nothing stood at the target when the user was
// asked), a file that has appeared there meanwhile is kept and the result is
// a FileAccess failure with the FileError (Replace, EEXIST).
//
// This one is for tools and tests; a job gives the plaintext its own output
// with the overload below and puts it in place itself.
FileOperationResult DecryptFile(EncryptedContainer& container, std::string_view password,
                                ProgressSink* progress = nullptr, bool replaceExisting = true);
// Where the plaintext goes: called once every check has passed, with the path
// the plaintext belongs at, it gives an open empty file to write it into
// (an OutputFile's), which the caller puts in place when the result is
// Completed.
using PlaintextOutput = std::function<FileHandle&(const std::filesystem::path& targetPath)>;
FileOperationResult DecryptFile(EncryptedContainer& container, std::string_view password,
                                const PlaintextOutput& output, ProgressSink* progress);
// The same for the container at `sourcePath`, opened for this call alone; one
// that cannot be opened or read is a FileAccess failure.
FileOperationResult DecryptFile(const std::filesystem::path& sourcePath, std::string_view password,
                                ProgressSink* progress = nullptr, bool replaceExisting = true);

}  // namespace vaultpack
