// The delta-row encoder's hot path for rows that change everywhere (a
// photo): pairs of full replacement commands of offset 0, E0 and 8 bytes,
// E0 and 8 bytes, so 16 source bytes become 18 output bytes. The scalar
// form serves other machines and the tests as reference.
#ifndef PCLXL_RASTER_FULL_PAIRS_H
#define PCLXL_RASTER_FULL_PAIRS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

#include "raster/cpu.h"

namespace pclxl::raster {

inline unsigned char *put_full_pairs_scalar(unsigned char *p, const unsigned char *src,
                                            size_t pairs) {
    for (size_t k = 2 * pairs; k != 0; --k, src += 8, p += 9) {
        p[0] = 0xE0;
        std::memcpy(p + 1, src, 8);
    }
    return p;
}

#if defined(__SSE2__)

// Shift the first 8 bytes right by one place and the next 6 by two, drop
// the command bytes in between, and store the last 2 separately.
inline unsigned char *put_full_pairs_sse2(unsigned char *p, const unsigned char *src,
                                          size_t pairs) {
    const __m128i first = _mm_set_epi8(0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i commands = _mm_set_epi8(0, 0, 0, 0, 0, 0, static_cast<char>(0xE0), 0, 0, 0, 0, 0,
                                          0, 0, 0, static_cast<char>(0xE0));
    const __m128i first_at1 = _mm_slli_si128(first, 1);                       // lanes 1..8
    const __m128i second_at10 = _mm_slli_si128(_mm_srli_si128(first, 2), 10); // lanes 10..15
    for (; pairs != 0; --pairs, src += 16, p += 18) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
        const __m128i out =
            _mm_or_si128(commands, _mm_or_si128(_mm_and_si128(_mm_slli_si128(v, 1), first_at1),
                                                _mm_and_si128(_mm_slli_si128(v, 2), second_at10)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p), out);
        const uint16_t last = static_cast<uint16_t>(_mm_extract_epi16(v, 7));
        std::memcpy(p + 16, &last, 2);
    }
    return p;
}

// With a byte shuffle one instruction spreads the 16 source bytes over
// lanes 1..8 and 10..15, leaving the command lanes 0 and 9 clear.
__attribute__((target("ssse3"))) inline unsigned char *
put_full_pairs_ssse3(unsigned char *p, const unsigned char *src, size_t pairs) {
    const __m128i spread = _mm_setr_epi8(-128, 0, 1, 2, 3, 4, 5, 6, 7, -128, 8, 9, 10, 11, 12, 13);
    const __m128i commands = _mm_setr_epi8(static_cast<char>(0xE0), 0, 0, 0, 0, 0, 0, 0, 0,
                                           static_cast<char>(0xE0), 0, 0, 0, 0, 0, 0);
    for (; pairs != 0; --pairs, src += 16, p += 18) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p),
                         _mm_or_si128(_mm_shuffle_epi8(v, spread), commands));
        const uint16_t last = static_cast<uint16_t>(_mm_extract_epi16(v, 7));
        std::memcpy(p + 16, &last, 2);
    }
    return p;
}

inline unsigned char *put_full_pairs(unsigned char *p, const unsigned char *src, size_t pairs) {
    return have_ssse3() ? put_full_pairs_ssse3(p, src, pairs) : put_full_pairs_sse2(p, src, pairs);
}

#else

inline unsigned char *put_full_pairs(unsigned char *p, const unsigned char *src, size_t pairs) {
    return put_full_pairs_scalar(p, src, pairs);
}

#endif

} // namespace pclxl::raster

#endif
