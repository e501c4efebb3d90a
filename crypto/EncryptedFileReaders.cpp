#include "crypto/EncryptedFileReaders.h"

namespace vaultpack {

HeaderCheck CheckEncryptedHeader(const std::filesystem::path& path) {
    return EncryptedContainer::Open(path).CheckHeader();
}

bool CheckPassword(const std::filesystem::path& path, std::string_view password) {
    return EncryptedContainer::Open(path).PasswordMatches(password);
}

std::string ReadHint(const std::filesystem::path& path) {
    return EncryptedContainer::Open(path).Header().hint;
}

std::string ReadStoredName(const std::filesystem::path& path) {
    return EncryptedContainer::Open(path).Header().storedName;
}

std::uint8_t ReadZipFlag(const std::filesystem::path& path) {
    return EncryptedContainer::Open(path).Header().zipFlag;
}

}  // namespace vaultpack
