#pragma once

#include <cstdint>
#include <span>

namespace vaultpack {

// The CRC-32 of ZIP entries: `crc` (0 to begin) carried on over `bytes`, so
// that data in pieces gives the CRC of the whole.
std::uint32_t Crc32(std::uint32_t crc, std::span<const unsigned char> bytes);

}  // namespace vaultpack
