#include "files/TemporaryName.h"

#include <cerrno>
#include <cstdint>
#include <random>
#include <string_view>

namespace vaultpack {

namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::string_view kPrefix = ".vaultpack-", kSuffix = ".part";
constexpr std::size_t kRandomLetters = 10;

// Seeded once per thread: asking the system for entropy costs tens of
// microseconds, which dominated extracting many small files. The names only
// need to differ; O_EXCL at creation settles any clash.
std::mt19937_64& NameGenerator() {
    thread_local std::mt19937_64 generator{[] {
        std::random_device seed;
        return (static_cast<std::uint64_t>(seed()) << 32) | seed();
    }()};
    return generator;
}

}  // namespace

std::string NewTemporaryOutputName() {
    std::mt19937_64& generator = NameGenerator();
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    std::string name(kPrefix);
    for (std::size_t i = 0; i < kRandomLetters; ++i) {
        name += kLetters[pick(generator)];
    }
    return name += kSuffix;
}

std::string MakeUnderNewTemporaryName(const std::function<int(const char* name)>& make, int& error) {
    error = EEXIST;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && error == EEXIST; ++attempt) {
        std::string name = NewTemporaryOutputName();
        if (make(name.c_str()) == 0) {
            return name;
        }
        error = errno;
    }
    return {};
}

}  // namespace vaultpack
