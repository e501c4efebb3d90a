#pragma once

// Input files for the benchmarks and the check that two ways gave the same bytes.

#include <cstdint>
#include <filesystem>

namespace vaultpack::bench {

// Writes `mebibytes` MiB of pseudo-random bytes, the same ones in every run.
void WriteRandomFile(const std::filesystem::path& path, int mebibytes);

// Whether `first` from `firstOffset` on holds exactly the bytes of `second`.
bool SameBytes(const std::filesystem::path& first, std::uintmax_t firstOffset, const std::filesystem::path& second);

}  // namespace vaultpack::bench
