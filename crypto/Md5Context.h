#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vaultpack {

// The MD5 message digest of RFC 1321.
class Md5Context {
public:
    static constexpr std::size_t kDigestSize = 16;
    using Digest = std::array<unsigned char, kDigestSize>;

    Md5Context() { Init(); }
    virtual ~Md5Context() = default;

    void Init();
    void Update(const unsigned char* data, std::size_t length);
    // Writes the digest and clears the context; call Init before reusing it.
    void Final(unsigned char* digest);

    // MD5 of a whole byte string.
    static Digest Of(std::string_view bytes);

private:
    void Transform(const unsigned char* block);

    std::array<std::uint32_t, 4> state_{};
    std::array<std::uint32_t, 2> count_{};  // length in bits, low word first
    std::array<unsigned char, 64> buffer_{};
};

}  // namespace vaultpack
