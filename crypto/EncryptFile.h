#pragma once

#include <filesystem>
#include <string_view>

#include "crypto/CryptoResult.h"
#include "files/FileHandle.h"
#include "files/ProgressSink.h"

namespace vaultpack {

// Writes `targetPath` as a container of `sourcePath`: the clear header (the
// source's name and length, the password's MD5, the hint's first 32 bytes, and
// the zip flag, set when `markZip` is true and the name ends in ".zip" in any
// case), then the source enciphered under the password.
//
// Completed when the whole container was written; Cancelled when the progress
// sink's cancel request stopped it between chunks (the partial target stays
// for the caller to remove). Refused before the target is touched: an empty
// password, a source of 4 GiB or more, a name of 260 bytes or more, and a
// target that is the source itself. Failures name message 129.
//
// The container is written into `target`, an open empty file that the caller
// puts in place (an OutputFile); targetPath names it in failures.
FileOperationResult EncryptFile(const std::filesystem::path& sourcePath, FileHandle& target,
                                const std::filesystem::path& targetPath, std::string_view password,
                                std::string_view hint, bool markZip, ProgressSink* progress = nullptr);
// The same for tools and tests: creates targetPath, or truncates it.
FileOperationResult EncryptFile(const std::filesystem::path& sourcePath, const std::filesystem::path& targetPath,
                                std::string_view password, std::string_view hint, bool markZip,
                                ProgressSink* progress = nullptr);

}  // namespace vaultpack
