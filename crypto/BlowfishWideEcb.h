#pragma once

#include <cstddef>
#include <cstdint>

namespace vaultpack {

// Blowfish ECB over groups of 32 blocks with AVX-512 gathers, where the
// processor has them. `order` lists the 18 P-array words in the order the
// rounds use them, `sboxes` the four keyed S-boxes. Processes the longest
// prefix of `length` that is a whole number of groups and returns its length;
// returns 0 without touching `out` on processors without AVX-512F.
std::size_t BlowfishWideEcb(const std::uint32_t* order, const std::uint32_t* const sboxes[4],
                            const unsigned char* in, unsigned char* out, std::size_t length);

}  // namespace vaultpack
