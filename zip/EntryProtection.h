#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "files/Failure.h"
#include "zip/ZipAesCipher.h"
#include "zip/ZipArchiveFile.h"
#include "zip/ZipEntryInfo.h"
#include "zip/ZipFormat.h"

namespace vaultpack {

// General purpose flag bit 0: the entry's data is encrypted.
inline constexpr std::uint16_t kEncryptedFlag = 1;
// Bit 3: the sizes and CRC follow the data; the traditional scheme's check
// byte is then the high byte of the time rather than of the CRC.
inline constexpr std::uint16_t kDataDescriptorFlag = 1u << 3;
// Bit 6: strong encryption, a scheme of its own that is not read here.
inline constexpr std::uint16_t kStrongEncryptionFlag = 1u << 6;
// The extra field of AES-encrypted entries.
inline constexpr std::uint16_t kAesExtraTag = 0x9901;
inline constexpr std::size_t kAesExtraSize = 7;

// How an entry's data is protected, as its record says.
struct EntryProtection {
    using Scheme = EntryEncryption;
    Scheme scheme = Scheme::None;
    AesStrength strength = AesStrength::Aes256;
    // The compression method of the data inside (AES records carry 99).
    std::uint16_t method = 0;
    // Whether the CRC is checked: AE-2 stores none, relying on the code.
    bool checkCrc = true;
    // The traditional check byte: the high byte of the CRC, or of the DOS
    // time when the sizes follow the data.
    std::uint8_t checkByte = 0;

    // Bytes in front of the encrypted data (the 12-byte header, or the salt
    // and the verifier) and after it (the AES authentication code).
    std::size_t HeaderSize() const;
    std::size_t TrailerSize() const;
    unsigned AesKeyBits() const;  // 0 unless AES
};

EntryProtection ProtectionOf(const CentralRecord& record);

// The password an encrypted entry is read with, and why its data was
// refused when the password does not open it (EntryWrongPassword) or its
// authentication code does not match (EntryDataChanged); the ZIP code is
// then CorruptArchive.
struct PasswordUse {
    const std::string* password = nullptr;
    FailureReason refusal = FailureReason::None;
};

// The traditional check byte lets one wrong password in 256 through; its
// data then fails the CRC, which for that scheme says the password is wrong.
void NoteTraditionalMismatch(const EntryProtection& protection, PasswordUse& use);

// The 0x9901 field for AE-2 and AES-256 around `method`.
std::vector<unsigned char> AesExtraField(std::uint16_t method);

}  // namespace vaultpack
