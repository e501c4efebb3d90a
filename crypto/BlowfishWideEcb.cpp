#include "crypto/BlowfishWideEcb.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VAULTPACK_WIDE_ECB 1
// GCC 12 reports its own AVX-512 intrinsics' deliberately undefined pass-through
// operands as maybe-uninitialized; nothing of ours is.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#endif

namespace vaultpack {

#ifdef VAULTPACK_WIDE_ECB
namespace {

// Each lane of a 512-bit register holds one half of one of 16 blocks; two such
// sets run side by side so that the gathers of one overlap the other's. The
// table look-ups of the round function become four gathers per set.
constexpr int kSets = 2;
constexpr std::size_t kGroupBytes = kSets * 16 * 8;

#define VAULTPACK_AVX512 __attribute__((target("avx512f")))

VAULTPACK_AVX512 inline __m512i SwapBytes(__m512i words) {
    const __m512i evenBytes = _mm512_set1_epi32(0x00FF00FF);
    return _mm512_or_si512(_mm512_and_si512(_mm512_rol_epi32(words, 8), evenBytes),
                           _mm512_andnot_si512(evenBytes, _mm512_ror_epi32(words, 8)));
}

VAULTPACK_AVX512 inline __m512i RoundFunction(__m512i x, const std::uint32_t* const sboxes[4]) {
    const __m512i byteMask = _mm512_set1_epi32(0xFF);
    const __m512i a = _mm512_i32gather_epi32(_mm512_srli_epi32(x, 24), sboxes[0], 4);
    const __m512i b = _mm512_i32gather_epi32(_mm512_and_si512(_mm512_srli_epi32(x, 16), byteMask), sboxes[1], 4);
    const __m512i c = _mm512_i32gather_epi32(_mm512_and_si512(_mm512_srli_epi32(x, 8), byteMask), sboxes[2], 4);
    const __m512i d = _mm512_i32gather_epi32(_mm512_and_si512(x, byteMask), sboxes[3], 4);
    return _mm512_add_epi32(_mm512_xor_si512(_mm512_add_epi32(a, b), c), d);
}

VAULTPACK_AVX512 std::size_t WideEcb(const std::uint32_t* order, const std::uint32_t* const sboxes[4],
                                     const unsigned char* in, unsigned char* out, std::size_t length) {
    // Words 0..31 of two loads are l0 r0 l1 r1 ...; these pick the lefts and
    // the rights apart and weave them back together.
    const __m512i evens = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odds = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    const __m512i lowPairs = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i highPairs = _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);

    std::size_t offset = 0;
    for (; offset + kGroupBytes <= length; offset += kGroupBytes) {
        __m512i l[kSets];
        __m512i r[kSets];
        for (int k = 0; k < kSets; ++k) {
            const unsigned char* from = in + offset + 128 * k;
            const __m512i first = SwapBytes(_mm512_loadu_si512(from));
            const __m512i second = SwapBytes(_mm512_loadu_si512(from + 64));
            l[k] = _mm512_permutex2var_epi32(first, evens, second);
            r[k] = _mm512_permutex2var_epi32(first, odds, second);
        }
        for (int round = 0; round < 16; round += 2) {
            const __m512i first = _mm512_set1_epi32(static_cast<int>(order[round]));
            const __m512i second = _mm512_set1_epi32(static_cast<int>(order[round + 1]));
            for (int k = 0; k < kSets; ++k) {
                l[k] = _mm512_xor_si512(l[k], first);
                r[k] = _mm512_xor_si512(r[k], RoundFunction(l[k], sboxes));
            }
            for (int k = 0; k < kSets; ++k) {
                r[k] = _mm512_xor_si512(r[k], second);
                l[k] = _mm512_xor_si512(l[k], RoundFunction(r[k], sboxes));
            }
        }
        const __m512i finalLeft = _mm512_set1_epi32(static_cast<int>(order[17]));
        const __m512i finalRight = _mm512_set1_epi32(static_cast<int>(order[16]));
        for (int k = 0; k < kSets; ++k) {
            const __m512i left = _mm512_xor_si512(r[k], finalLeft);
            const __m512i right = _mm512_xor_si512(l[k], finalRight);
            unsigned char* to = out + offset + 128 * k;
            _mm512_storeu_si512(to, SwapBytes(_mm512_permutex2var_epi32(left, lowPairs, right)));
            _mm512_storeu_si512(to + 64, SwapBytes(_mm512_permutex2var_epi32(left, highPairs, right)));
        }
    }
    return offset;
}

}  // namespace

std::size_t BlowfishWideEcb(const std::uint32_t* order, const std::uint32_t* const sboxes[4],
                            const unsigned char* in, unsigned char* out, std::size_t length) {
    static const bool supported = __builtin_cpu_supports("avx512f");
    return supported ? WideEcb(order, sboxes, in, out, length) : 0;
}

#else

std::size_t BlowfishWideEcb(const std::uint32_t*, const std::uint32_t* const[4], const unsigned char*,
                            unsigned char*, std::size_t) {
    return 0;
}

#endif

}  // namespace vaultpack
