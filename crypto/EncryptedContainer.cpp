#include "crypto/EncryptedContainer.h"

#include <algorithm>
#include <optional>
#include <string>

#include <sys/stat.h>

#include "crypto/Md5Context.h"
#include "crypto/StoredName.h"

namespace vaultpack {

EncryptedContainer EncryptedContainer::Open(const std::filesystem::path& path) {
    EncryptedContainer container(path, FileHandle::OpenForReading(path));
    container.fileLength_ = static_cast<std::uint64_t>(container.file_.Status().st_size);
    container.headerLength_ = container.file_.Read(container.bytes_.data(), container.bytes_.size());
    container.header_ = EncryptedFileHeader::Parse(container.bytes_);
    return container;
}

HeaderCheck EncryptedContainer::CheckHeader() const {
    if (headerLength_ <= EncryptedFileHeader::kVersionOffset ||
        !std::equal(kEncryptedFileMagic.begin(), kEncryptedFileMagic.end(), bytes_.begin())) {
        return {FailureReason::NotEncryptedFile};
    }
    if (bytes_[EncryptedFileHeader::kVersionOffset] != EncryptedFileHeader::kVersion) {
        return {FailureReason::VersionMismatch};
    }
    return {};
}

bool EncryptedContainer::PasswordMatches(std::string_view password) const {
    if (headerLength_ < EncryptedFileHeader::kPasswordDigestOffset + Md5Context::kDigestSize) {
        return false;
    }
    return Md5Context::Of(password) == header_.passwordDigest;
}

std::uint64_t EncryptedContainer::CipherBytes() const {
    return fileLength_ - std::min<std::uint64_t>(fileLength_, EncryptedFileHeader::kSize);
}

std::filesystem::path EncryptedContainer::TargetPath() const {
    const std::optional<std::string> safeName = SafeStoredName(header_.storedName);
    if (!safeName) {
        throw FailureError(Failure::Of(FailureReason::UnsafeStoredName, path_, header_.storedName));
    }
    return path_.parent_path() / *safeName;
}

bool EncryptedContainer::IsAt(const std::filesystem::path& path) const {
    struct stat other {};
    if (::stat(path.c_str(), &other) != 0) {
        return false;
    }
    const struct stat own = file_.Status();
    return own.st_dev == other.st_dev && own.st_ino == other.st_ino;
}

}  // namespace vaultpack
