#include "crypto/EncryptedFileReaders.h"

#include <algorithm>
#include <vector>

#include "crypto/EncryptedFileHeader.h"
#include "files/FileHandle.h"
#include "crypto/Md5Context.h"
#include "crypto/StoredName.h"

namespace vaultpack {
namespace {

// Reads up to `length` bytes from the start of the file (fewer when it is shorter).
std::vector<unsigned char> ReadPrefix(const std::filesystem::path& path, std::size_t length) {
    std::vector<unsigned char> bytes(length);
    FileHandle file = FileHandle::OpenForReading(path);
    bytes.resize(file.Read(bytes.data(), length));
    return bytes;
}

// The field at `offset`, zero-filled where the file ends before it does.
std::vector<unsigned char> ReadField(const std::filesystem::path& path, std::size_t offset, std::size_t size) {
    std::vector<unsigned char> field = ReadPrefix(path, offset + size);
    field.erase(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(std::min(offset, field.size())));
    field.resize(size, 0);
    return field;
}

}  // namespace

HeaderCheck CheckEncryptedHeader(const std::filesystem::path& path) {
    const std::vector<unsigned char> start = ReadPrefix(path, EncryptedFileHeader::kVersionOffset + 1);
    if (start.size() <= EncryptedFileHeader::kVersionOffset ||
        !std::equal(kEncryptedFileMagic.begin(), kEncryptedFileMagic.end(), start.begin())) {
        return {CryptoFailure::NotEncryptedFile};
    }
    if (start[EncryptedFileHeader::kVersionOffset] != EncryptedFileHeader::kVersion) {
        return {CryptoFailure::VersionMismatch};
    }
    return {};
}

bool CheckPassword(const std::filesystem::path& path, std::string_view password) {
    const std::vector<unsigned char> stored = ReadPrefix(path, EncryptedFileHeader::kPasswordDigestOffset + Md5Context::kDigestSize);
    if (stored.size() < EncryptedFileHeader::kPasswordDigestOffset + Md5Context::kDigestSize) {
        return false;
    }
    const Md5Context::Digest digest = Md5Context::Of(password);
    return std::equal(digest.begin(), digest.end(), stored.begin() + EncryptedFileHeader::kPasswordDigestOffset);
}

std::string ReadHint(const std::filesystem::path& path) {
    const auto field = ReadField(path, EncryptedFileHeader::kHintOffset, EncryptedFileHeader::kHintSize);
    return FieldText(field.data(), field.size());
}

std::string ReadStoredName(const std::filesystem::path& path) {
    const auto field = ReadField(path, EncryptedFileHeader::kStoredNameOffset, EncryptedFileHeader::kStoredNameSize);
    return FieldText(field.data(), EncryptedFileHeader::kMaxStoredNameLength);
}

std::uint8_t ReadZipFlag(const std::filesystem::path& path) {
    return ReadField(path, EncryptedFileHeader::kFlagsOffset, 1).front();
}

std::filesystem::path DecryptionTargetPath(const std::filesystem::path& containerPath) {
    return DecryptionTargetPath(containerPath, ReadStoredName(containerPath));
}

std::filesystem::path DecryptionTargetPath(const std::filesystem::path& containerPath, std::string_view storedName) {
    const std::optional<std::string> safeName = SafeStoredName(storedName);
    if (!safeName) {
        throw CryptoError(CryptoFailure::UnsafeStoredName, containerPath, std::string(storedName));
    }
    return containerPath.parent_path() / *safeName;
}

}  // namespace vaultpack
