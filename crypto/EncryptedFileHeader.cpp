#include "crypto/EncryptedFileHeader.h"

#include <algorithm>
#include <cstring>

namespace vaultpack {

EncryptedFileHeader::Bytes EncryptedFileHeader::Serialize() const {
    Bytes bytes{};
    std::memcpy(bytes.data() + kMagicOffset, kEncryptedFileMagic.data(), kEncryptedFileMagic.size());
    bytes[kVersionOffset] = kVersion;
    for (int i = 0; i < 4; ++i) {
        bytes[kPlainLengthOffset + i] = static_cast<unsigned char>(plainLength >> (24 - 8 * i));
    }
    std::memcpy(bytes.data() + kStoredNameOffset, storedName.data(),
                std::min(storedName.size(), kMaxStoredNameLength));
    std::copy(passwordDigest.begin(), passwordDigest.end(), bytes.begin() + kPasswordDigestOffset);
    std::memcpy(bytes.data() + kHintOffset, hint.data(), std::min(hint.size(), kHintSize));
    bytes[kFlagsOffset] = zipFlag;
    return bytes;
}

EncryptedFileHeader EncryptedFileHeader::Parse(const Bytes& bytes) {
    EncryptedFileHeader header;
    for (int i = 0; i < 4; ++i) {
        header.plainLength = (header.plainLength << 8) | bytes[kPlainLengthOffset + i];
    }
    header.storedName = FieldText(bytes.data() + kStoredNameOffset, kMaxStoredNameLength);
    std::copy_n(bytes.begin() + kPasswordDigestOffset, header.passwordDigest.size(), header.passwordDigest.begin());
    header.hint = FieldText(bytes.data() + kHintOffset, kHintSize);
    header.zipFlag = bytes[kFlagsOffset];
    return header;
}

std::string FieldText(const unsigned char* field, std::size_t limit) {
    const auto* end = std::find(field, field + limit, 0);
    return std::string(field, end);
}

}  // namespace vaultpack
