#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "crypto/CryptoResult.h"

namespace vaultpack {

// Answers about a container read from its clear header, without decrypting.
// Each opens the file, reads what it needs and closes it again. A file that
// cannot be opened or read throws FileError; a file that ends early simply
// yields fewer bytes.

// Whether the file starts with the magic "EZC" and version 2.
struct HeaderCheck {
    CryptoFailure failure = CryptoFailure::None;  // None, NotEncryptedFile or VersionMismatch

    bool Valid() const { return failure == CryptoFailure::None; }
};
HeaderCheck CheckEncryptedHeader(const std::filesystem::path& path);

// True when the MD5 of the password's bytes equals the stored digest.
bool CheckPassword(const std::filesystem::path& path, std::string_view password);

// The hint: the bytes of its field before the first zero, at most 32.
std::string ReadHint(const std::filesystem::path& path);

// The stored name as written: the bytes before the first zero, at most 259.
std::string ReadStoredName(const std::filesystem::path& path);

// The zip flag byte; any non-zero value means the plaintext is a ZIP archive.
std::uint8_t ReadZipFlag(const std::filesystem::path& path);

// Where decrypting the container writes: its own folder and the stored name
// reduced to a plain file name. Throws CryptoError(UnsafeStoredName) when no
// usable name is left.
std::filesystem::path DecryptionTargetPath(const std::filesystem::path& containerPath);
// The same for a stored name already read from the container's header.
std::filesystem::path DecryptionTargetPath(const std::filesystem::path& containerPath, std::string_view storedName);

}  // namespace vaultpack
