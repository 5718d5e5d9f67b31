// Sixteen pixels as one 16-bit vector per channel, for the sweeps written
// for AVX2 by hand. The bytes of sixteen pixels are sorted into the four
// channel vectors with a byte shuffle and three unpacks, and back the same
// way; the pixels sit in the vectors in an order of their own, the same for
// every channel and undone on the way out, so lane-by-lane work does not
// see it. The sweeps run where the processor has AVX2 (asked once); the
// compiler's loops do the rest and everything elsewhere. OPS_BASELINE_ONLY
// leaves them out, to test the baseline on a machine with AVX2.
#pragma once

#include "contract/helpers.h"

namespace zenvarth::lanes {

// Whether the hand-written sweeps run: where they are built and the
// processor has them, unless OPS_PLAIN_KERNELS is set (asked at each use,
// so a test can hold them against the compiler's loops in one process).
inline bool handWrittenSweeps() { return handAvx2Enabled(); }

} // namespace zenvarth::lanes

#if OPS_HAND_AVX2

#include <immintrin.h>

#include "contract/contract.h"

namespace zenvarth::lanes {

typedef __m256i V;

// Per 128-bit lane, a 4 x 4 byte transpose: pixel bytes a v u y of four
// pixels to aaaa vvvv uuuu yyyy, and (being its own inverse) back.
__attribute__((target("avx2"))) inline V transpose4x4(V w)
{
    const V order = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8, 12, 1, 5, 9,
                                     13, 2, 6, 10, 14, 3, 7, 11, 15);
    return _mm256_shuffle_epi8(w, order);
}

struct Channels {
    V a, v, u, y;   // 16-bit lanes
};

__attribute__((target("avx2"))) inline Channels load16(const Pixel *p)
{
    const V zero = _mm256_setzero_si256();
    const V first = transpose4x4(_mm256_loadu_si256(reinterpret_cast<const V *>(p)));
    const V second = transpose4x4(_mm256_loadu_si256(reinterpret_cast<const V *>(p + 8)));
    const V av = _mm256_unpacklo_epi32(first, second);   // per lane: 8 alpha bytes, 8 V bytes
    const V uy = _mm256_unpackhi_epi32(first, second);   // 8 U bytes, 8 Y bytes
    return Channels{_mm256_unpacklo_epi8(av, zero), _mm256_unpackhi_epi8(av, zero), _mm256_unpacklo_epi8(uy, zero),
                    _mm256_unpackhi_epi8(uy, zero)};
}

// Every lane must hold a byte value.
__attribute__((target("avx2"))) inline void store16(Pixel *p, const Channels &c)
{
    const V av = _mm256_shuffle_epi32(_mm256_packus_epi16(c.a, c.v), 0xD8);   // dwords 0 2 1 3
    const V uy = _mm256_shuffle_epi32(_mm256_packus_epi16(c.u, c.y), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<V *>(p), transpose4x4(_mm256_unpacklo_epi64(av, uy)));
    _mm256_storeu_si256(reinterpret_cast<V *>(p + 8), transpose4x4(_mm256_unpackhi_epi64(av, uy)));
}

__attribute__((target("avx2"))) inline V splat(uint16_t v) { return _mm256_set1_epi16(int16_t(v)); }

// x / 255 for any 16-bit x: the high half of x * 32 897, shifted by 7.
__attribute__((target("avx2"))) inline V over255(V x)
{
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, splat(32897)), 7);
}

// under * t + over * k over 255, with t = 255 - k: over laid on under with
// weight k (both bytes).
__attribute__((target("avx2"))) inline V mix(V under, V over, V k, V t)
{
    return over255(_mm256_add_epi16(_mm256_mullo_epi16(under, t), _mm256_mullo_epi16(over, k)));
}

} // namespace zenvarth::lanes

#endif
