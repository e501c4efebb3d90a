#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "crypto/Md5Context.h"

namespace vaultpack {

// The clear 348-byte header at the start of every .ezc container, followed by
// the plaintext zero-padded to a multiple of 8 and enciphered with Blowfish ECB.
// Integers are big-endian.
struct EncryptedFileHeader {
    static constexpr std::size_t kSize = 348;
    static constexpr std::size_t kMagicOffset = 0;
    static constexpr std::size_t kVersionOffset = 3;
    static constexpr std::size_t kPlainLengthOffset = 4;
    static constexpr std::size_t kStoredNameOffset = 8;
    static constexpr std::size_t kStoredNameSize = 260;
    static constexpr std::size_t kPasswordDigestOffset = 268;
    static constexpr std::size_t kHintOffset = 284;
    static constexpr std::size_t kHintSize = 32;
    static constexpr std::size_t kFlagsOffset = 316;
    static constexpr std::size_t kFlagsSize = 32;
    static constexpr unsigned char kVersion = 2;
    // A stored name keeps at least one terminating zero in its field.
    static constexpr std::size_t kMaxStoredNameLength = kStoredNameSize - 1;

    using Bytes = std::array<unsigned char, kSize>;

    std::uint32_t plainLength = 0;
    std::string storedName;  // at most kMaxStoredNameLength bytes are kept
    Md5Context::Digest passwordDigest{};
    std::string hint;  // only its first kHintSize bytes are kept
    std::uint8_t zipFlag = 0;

    Bytes Serialize() const;
    // Reads the fields of a header (magic and version are not checked here).
    static EncryptedFileHeader Parse(const Bytes& bytes);
};

inline constexpr std::string_view kEncryptedFileMagic = "EZC";

// The length of `plainLength` bytes once padded to whole cipher blocks.
constexpr std::uint64_t PaddedLength(std::uint64_t plainLength) {
    return (plainLength + 7) / 8 * 8;
}

// Text of a zero-terminated field: the bytes before the first zero, at most `limit`.
std::string FieldText(const unsigned char* field, std::size_t limit);

}  // namespace vaultpack
