#include "bench/BenchFiles.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace vaultpack::bench {

void WriteRandomFile(const std::filesystem::path& path, int mebibytes) {
    std::mt19937 generator(42);
    std::vector<unsigned char> block(1 << 20);
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < mebibytes; ++i) {
        for (auto& byte : block) {
            byte = static_cast<unsigned char>(generator());
        }
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
}

bool SameBytes(const std::filesystem::path& first, std::uintmax_t firstOffset, const std::filesystem::path& second) {
    std::ifstream a(first, std::ios::binary);
    std::ifstream b(second, std::ios::binary);
    a.seekg(static_cast<std::streamoff>(firstOffset));
    return std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(b), std::istreambuf_iterator<char>());
}

}  // namespace vaultpack::bench
