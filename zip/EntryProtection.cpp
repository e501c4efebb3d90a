#include "zip/EntryProtection.h"

#include <algorithm>

#include "zip/ZipFormat.h"
#include "zip/ZipTraditionalCipher.h"

namespace vaultpack {

namespace {

constexpr std::uint16_t kAe1 = 1;
constexpr std::uint16_t kAe2 = 2;

// The 0x9901 field: vendor version (AE-1 or AE-2), "AE", strength, method.
bool ReadAesField(std::span<const unsigned char> extra, EntryProtection& protection) {
    bool found = false;
    bool valid = false;
    ForEachExtraField(extra, [&](std::uint16_t tag, std::span<const unsigned char> data) {
        if (tag != kAesExtraTag || found) {
            return;
        }
        found = true;
        if (data.size() != kAesExtraSize || data[2] != 'A' || data[3] != 'E') {
            return;
        }
        const auto version = static_cast<std::uint16_t>(LittleEndian(&data[0], 2));
        const unsigned strength = data[4];
        if ((version != kAe1 && version != kAe2) || strength < 1 || strength > 3) {
            return;
        }
        protection.checkCrc = version == kAe1;
        protection.strength = static_cast<AesStrength>(strength);
        protection.method = static_cast<std::uint16_t>(LittleEndian(&data[5], 2));
        valid = true;
    });
    return valid;
}

}  // namespace

std::size_t EntryProtection::HeaderSize() const {
    switch (scheme) {
        case Scheme::Traditional: return kTraditionalHeaderSize;
        case Scheme::Aes: return AesSaltSize(strength) + kAesVerifierSize;
        case Scheme::None:
        case Scheme::Unreadable: break;
    }
    return 0;
}

std::size_t EntryProtection::TrailerSize() const {
    return scheme == Scheme::Aes ? kAesCodeSize : 0;
}

unsigned EntryProtection::AesKeyBits() const {
    return scheme == Scheme::Aes ? 64 + 64 * static_cast<unsigned>(strength) : 0;
}

EntryProtection ProtectionOf(const CentralRecord& record) {
    EntryProtection protection;
    protection.method = record.method;
    if ((record.flags & kEncryptedFlag) == 0) {
        return protection;
    }
    if ((record.flags & kStrongEncryptionFlag) != 0) {
        protection.scheme = EntryProtection::Scheme::Unreadable;
    } else if (record.method == kMethodAes) {
        protection.scheme =
            ReadAesField(record.extra, protection) ? EntryProtection::Scheme::Aes : EntryProtection::Scheme::Unreadable;
    } else {
        protection.scheme = EntryProtection::Scheme::Traditional;
        protection.checkByte = static_cast<std::uint8_t>((record.flags & kDataDescriptorFlag) != 0
                                                             ? (record.dosDateTime >> 8) & 0xff
                                                             : record.crc >> 24);
    }
    return protection;
}

void NoteTraditionalMismatch(const EntryProtection& protection, PasswordUse& use) {
    if (protection.scheme == EntryEncryption::Traditional && use.refusal == FailureReason::None) {
        use.refusal = FailureReason::EntryWrongPassword;
    }
}

std::vector<unsigned char> AesExtraField(std::uint16_t method) {
    return {static_cast<unsigned char>(kAesExtraTag & 0xff),
            static_cast<unsigned char>(kAesExtraTag >> 8),
            static_cast<unsigned char>(kAesExtraSize),
            0,
            static_cast<unsigned char>(kAe2),
            0,
            'A',
            'E',
            static_cast<unsigned char>(AesStrength::Aes256),
            static_cast<unsigned char>(method & 0xff),
            static_cast<unsigned char>(method >> 8)};
}

}  // namespace vaultpack
