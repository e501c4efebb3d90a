#pragma once

// Input files for the benchmarks and the check that two ways gave the same bytes.

#include <cstdint>
#include <filesystem>
#include <string>

namespace vaultpack::bench {

// The password the cipher benchmarks use: 16 bytes, Blowfish's key length in
// openssl enc, so that a hexadecimal -K names the same key.
inline const std::string kBenchPassword = "Bench-Pa55word16";

// Writes `mebibytes` MiB of pseudo-random bytes, the same ones in every run.
void WriteRandomFile(const std::filesystem::path& path, int mebibytes);

// Whether `first` from `firstOffset` on holds exactly the bytes of `second`.
bool SameBytes(const std::filesystem::path& first, std::uintmax_t firstOffset, const std::filesystem::path& second);

}  // namespace vaultpack::bench
