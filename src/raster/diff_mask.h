// Change masks for the delta-row encoder: one bit per byte of a 64-byte
// window, set where the row differs from the seed row (bit k for byte k).
// The encoder walks these masks with count-trailing-zeros instead of testing
// byte by byte. x86-64 builds use SSE2, which every x86-64 processor has;
// other machines compare eight bytes per 64-bit word.
#ifndef PCLXL_RASTER_DIFF_MASK_H
#define PCLXL_RASTER_DIFF_MASK_H

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define PCLXL_HAVE_SSE2 1
#endif

namespace pclxl::raster {

// Eight bytes as a word with byte k in bits 8k..8k+7, whatever the
// machine's byte order.
inline uint64_t load64(const unsigned char *p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// Word-at-a-time: the high bit of each byte of `x` set where that byte is
// not zero, gathered into the low 8 bits (byte k -> bit k).
inline unsigned nonzero_bytes8(uint64_t x) {
    constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    // A byte's high bit ends up set when its low 7 bits are not all zero
    // (the add carries into bit 7) or its own bit 7 is set. No carry crosses
    // a byte, since each sum is at most 0x7F + 0x7F.
    uint64_t hi = (((x & low7) + low7) | x) & ~low7;
    // Multiplying gathers bit 8k+7 (shifted to 8k) to bit 56+k, without
    // collisions between the partial products.
    return static_cast<unsigned>(((hi >> 7) * 0x0102040810204080ull) >> 56);
}

inline uint64_t diff_mask64_portable(const unsigned char *row, const unsigned char *seed) {
    uint64_t mask = 0;
    for (int w = 0; w < 8; ++w)
        mask |= uint64_t{nonzero_bytes8(load64(row + 8 * w) ^ load64(seed + 8 * w))} << (8 * w);
    return mask;
}

inline bool any_diff64_portable(const unsigned char *row, const unsigned char *seed) {
    uint64_t acc = 0;
    for (int w = 0; w < 8; ++w)
        acc |= load64(row + 8 * w) ^ load64(seed + 8 * w);
    return acc != 0;
}

#if PCLXL_HAVE_SSE2
inline uint64_t diff_mask64_sse2(const unsigned char *row, const unsigned char *seed) {
    uint64_t mask = 0;
    for (int v = 0; v < 4; ++v) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + 16 * v));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(seed + 16 * v));
        unsigned eq = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
        mask |= uint64_t{~eq & 0xFFFFu} << (16 * v);
    }
    return mask;
}

// The all-equal test of a window with one movemask: rows that match their
// seed (most rows of a text page) cost about as much as memcmp.
inline bool any_diff64_sse2(const unsigned char *row, const unsigned char *seed) {
    const __m128i *r = reinterpret_cast<const __m128i *>(row);
    const __m128i *s = reinterpret_cast<const __m128i *>(seed);
    __m128i e0 = _mm_cmpeq_epi8(_mm_loadu_si128(r + 0), _mm_loadu_si128(s + 0));
    __m128i e1 = _mm_cmpeq_epi8(_mm_loadu_si128(r + 1), _mm_loadu_si128(s + 1));
    __m128i e2 = _mm_cmpeq_epi8(_mm_loadu_si128(r + 2), _mm_loadu_si128(s + 2));
    __m128i e3 = _mm_cmpeq_epi8(_mm_loadu_si128(r + 3), _mm_loadu_si128(s + 3));
    __m128i all = _mm_and_si128(_mm_and_si128(e0, e1), _mm_and_si128(e2, e3));
    return _mm_movemask_epi8(all) != 0xFFFF;
}

inline uint64_t diff_mask64(const unsigned char *row, const unsigned char *seed) {
    return diff_mask64_sse2(row, seed);
}

// diff_mask64, and the window of the row copied over the seed row in the
// same pass (copying the unchanged bytes too does no harm).
inline uint64_t diff_mask64_update(const unsigned char *row, unsigned char *seed) {
    uint64_t mask = 0;
    for (int v = 0; v < 4; ++v) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + 16 * v));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(seed + 16 * v));
        unsigned eq = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(seed + 16 * v), a);
        mask |= uint64_t{~eq & 0xFFFFu} << (16 * v);
    }
    return mask;
}
inline bool any_diff64(const unsigned char *row, const unsigned char *seed) {
    return any_diff64_sse2(row, seed);
}
#else
inline uint64_t diff_mask64(const unsigned char *row, const unsigned char *seed) {
    return diff_mask64_portable(row, seed);
}
inline uint64_t diff_mask64_update(const unsigned char *row, unsigned char *seed) {
    const uint64_t mask = diff_mask64_portable(row, seed);
    if (mask != 0)
        std::memcpy(seed, row, 64);
    return mask;
}
inline bool any_diff64(const unsigned char *row, const unsigned char *seed) {
    return any_diff64_portable(row, seed);
}
#endif

} // namespace pclxl::raster

#endif
