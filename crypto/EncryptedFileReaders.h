#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "crypto/EncryptedContainer.h"

namespace vaultpack {

// One answer each about a container, read from its clear header without
// decrypting. Each opens the file and reads its header once
// (EncryptedContainer): a caller with several questions about one container
// opens an EncryptedContainer itself and asks it. A file that cannot be
// opened or read throws FileError; a file that ends early simply yields fewer
// bytes.

HeaderCheck CheckEncryptedHeader(const std::filesystem::path& path);

// True when the MD5 of the password's bytes equals the stored digest.
bool CheckPassword(const std::filesystem::path& path, std::string_view password);

// The hint: the bytes of its field before the first zero, at most 32.
std::string ReadHint(const std::filesystem::path& path);

// The stored name as written: the bytes before the first zero, at most 259.
std::string ReadStoredName(const std::filesystem::path& path);

// The zip flag byte; any non-zero value means the plaintext is a ZIP archive.
std::uint8_t ReadZipFlag(const std::filesystem::path& path);

}  // namespace vaultpack
