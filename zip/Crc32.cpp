#include "zip/Crc32.h"

#include <libdeflate.h>

namespace vaultpack {

std::uint32_t Crc32(std::uint32_t crc, std::span<const unsigned char> bytes) {
    return static_cast<std::uint32_t>(libdeflate_crc32(crc, bytes.data(), bytes.size()));
}

}  // namespace vaultpack
