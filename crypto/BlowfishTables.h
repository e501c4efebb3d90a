#pragma once

#include <array>
#include <cstdint>

namespace vaultpack {

inline constexpr int kBlowfishRounds = 16;

// Initial values of the Blowfish P-array and S-boxes, before keying.
extern const std::array<std::uint32_t, kBlowfishRounds + 2> kBlowfishInitialP;
extern const std::array<std::array<std::uint32_t, 256>, 4> kBlowfishInitialS;

}  // namespace vaultpack
