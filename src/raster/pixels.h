// Pixel conversions of the image operations. The stream carries R,G,B; hosts
// hand over B,G,R (24 bits, exchanged in place or in a copy of the row) or
// B,G,R,x and R,G,B,x (32 bits, repacked into a row of R,G,B). x86-64 builds use SSE2, which every
// x86-64 processor has; the scalar forms serve other machines, the ends of rows and the tests as
// reference.
#ifndef PCLXL_RASTER_PIXELS_H
#define PCLXL_RASTER_PIXELS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "raster/cpu.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace pclxl::raster {

// Exchanges the first and third byte of each of `pixels` 3-byte pixels.
inline void swap_rb24_scalar(unsigned char *p, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, p += 3) {
        const unsigned char t = p[0];
        p[0] = p[2];
        p[2] = t;
    }
}

// dst gets R,G,B from each 4-byte B,G,R,x pixel of src.
inline void bgrx_to_rgb_scalar(unsigned char *dst, const unsigned char *src, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, dst += 3, src += 4) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
    }
}

// dst gets R,G,B from each 4-byte R,G,B,x pixel of src.
inline void rgbx_to_rgb_scalar(unsigned char *dst, const unsigned char *src, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, dst += 3, src += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

#if defined(__SSE2__)

namespace detail {

// Rows come from memory, not cache: asking for the bytes 2 KB ahead keeps
// enough loads in flight. A prefetch past the end of the row never faults;
// its address is an integer, as a pointer may not go there.
inline void prefetch_ahead(const unsigned char *p) {
    __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(p) + 2048));
}

// SSE2 has no byte shuffle, so 16 pixels (48 bytes, three vectors) are
// exchanged by selecting, for each byte, one of three candidates: itself
// (the green byte), the byte two ahead (a pixel's first byte takes its
// third) or the byte two behind. Byte k of the block is in the pixel's
// position k % 3, so each of the three vectors has its own masks.
struct SwapMasks {
    unsigned char keep[3][16], ahead[3][16], behind[3][16];
};

constexpr SwapMasks make_swap_masks() {
    SwapMasks m{};
    for (int v = 0; v < 3; ++v)
        for (int i = 0; i < 16; ++i) {
            const int phase = (16 * v + i) % 3;
            m.ahead[v][i] = phase == 0 ? 0xFF : 0;
            m.keep[v][i] = phase == 1 ? 0xFF : 0;
            m.behind[v][i] = phase == 2 ? 0xFF : 0;
        }
    return m;
}

inline constexpr SwapMasks kSwapMasks = make_swap_masks();

inline __m128i mask(const unsigned char (&bytes)[16]) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes));
}

} // namespace detail

inline void swap_rb24_sse2(unsigned char *p, size_t pixels) {
    using detail::kSwapMasks;
    using detail::mask;
    const __m128i k0 = mask(kSwapMasks.keep[0]), k1 = mask(kSwapMasks.keep[1]),
                  k2 = mask(kSwapMasks.keep[2]);
    const __m128i a0 = mask(kSwapMasks.ahead[0]), a1 = mask(kSwapMasks.ahead[1]),
                  a2 = mask(kSwapMasks.ahead[2]);
    const __m128i b0 = mask(kSwapMasks.behind[0]), b1 = mask(kSwapMasks.behind[1]),
                  b2 = mask(kSwapMasks.behind[2]);
    size_t blocks = pixels / 16;
    for (; blocks != 0; --blocks, p += 48) {
        __m128i *v = reinterpret_cast<__m128i *>(p);
        const __m128i v0 = _mm_loadu_si128(v), v1 = _mm_loadu_si128(v + 1),
                      v2 = _mm_loadu_si128(v + 2);
        // Bytes two ahead and two behind, taking the neighbouring vector's
        // edge bytes; the block starts and ends on pixel boundaries, so no
        // byte outside it is ever selected.
        const __m128i ahead0 = _mm_or_si128(_mm_srli_si128(v0, 2), _mm_slli_si128(v1, 14));
        const __m128i ahead1 = _mm_or_si128(_mm_srli_si128(v1, 2), _mm_slli_si128(v2, 14));
        const __m128i ahead2 = _mm_srli_si128(v2, 2);
        const __m128i behind0 = _mm_slli_si128(v0, 2);
        const __m128i behind1 = _mm_or_si128(_mm_slli_si128(v1, 2), _mm_srli_si128(v0, 14));
        const __m128i behind2 = _mm_or_si128(_mm_slli_si128(v2, 2), _mm_srli_si128(v1, 14));
        _mm_storeu_si128(
            v, _mm_or_si128(_mm_or_si128(_mm_and_si128(v0, k0), _mm_and_si128(ahead0, a0)),
                            _mm_and_si128(behind0, b0)));
        _mm_storeu_si128(
            v + 1, _mm_or_si128(_mm_or_si128(_mm_and_si128(v1, k1), _mm_and_si128(ahead1, a1)),
                                _mm_and_si128(behind1, b1)));
        _mm_storeu_si128(
            v + 2, _mm_or_si128(_mm_or_si128(_mm_and_si128(v2, k2), _mm_and_si128(ahead2, a2)),
                                _mm_and_si128(behind2, b2)));
    }
    swap_rb24_scalar(p, pixels % 16);
}

namespace detail {

// Four 32-bit lanes of R | G << 8 | B << 16 (top byte clear) become 12
// packed bytes in the low part of the result.
inline __m128i pack_rgb_lanes(__m128i rgb) {
    const __m128i lo3 = _mm_set1_epi64x(0x0000000000FFFFFFll);
    const __m128i hi3 = _mm_set1_epi64x(0x0000FFFFFF000000ll);
    // Two pixels per 64-bit half: close the gap of the dropped byte ...
    const __m128i halves =
        _mm_or_si128(_mm_and_si128(rgb, lo3), _mm_and_si128(_mm_srli_epi64(rgb, 8), hi3));
    // ... then move the upper half's 6 bytes right behind the lower's.
    return _mm_or_si128(_mm_move_epi64(halves), _mm_slli_si128(_mm_srli_si128(halves, 8), 6));
}

} // namespace detail

inline void bgrx_to_rgb_sse2(unsigned char *dst, const unsigned char *src, size_t pixels) {
    const __m128i green = _mm_set1_epi32(0x0000FF00);
    const __m128i low = _mm_set1_epi32(0x000000FF);
    const __m128i third = _mm_set1_epi32(0x00FF0000);
    // Four pixels per step; each step stores 16 bytes of which 12 count, so
    // it runs only while 16 bytes of room are left in dst.
    for (; pixels >= 6; pixels -= 4, src += 16, dst += 12) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
        // Per 32-bit lane B | G << 8 | R << 16 | x << 24 becomes R | G << 8 | B << 16.
        const __m128i rgb = _mm_or_si128(_mm_and_si128(v, green),
                                         _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low),
                                                      _mm_and_si128(_mm_slli_epi32(v, 16), third)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), detail::pack_rgb_lanes(rgb));
    }
    bgrx_to_rgb_scalar(dst, src, pixels);
}

inline void rgbx_to_rgb_sse2(unsigned char *dst, const unsigned char *src, size_t pixels) {
    const __m128i rgb_bytes = _mm_set1_epi32(0x00FFFFFF);
    for (; pixels >= 6; pixels -= 4, src += 16, dst += 12) { // as above
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst),
                         detail::pack_rgb_lanes(_mm_and_si128(v, rgb_bytes)));
    }
    rgbx_to_rgb_scalar(dst, src, pixels);
}

// With SSSE3 (nearly every x86-64 processor in use, checked at run time) a
// byte shuffle does the same in about half the instructions: each output
// vector gathers its bytes from its own input vector and the neighbours.
namespace detail {

struct ShuffleControls {
    // [output vector][input vector][lane]: the input lane, or 0x80 for zero.
    unsigned char take[3][3][16];
};

constexpr ShuffleControls make_shuffle_controls() {
    ShuffleControls c{};
    for (int v = 0; v < 3; ++v)
        for (int i = 0; i < 16; ++i) {
            const int q = 16 * v + i, phase = q % 3;
            const int src = phase == 0 ? q + 2 : phase == 2 ? q - 2 : q;
            for (int w = 0; w < 3; ++w)
                c.take[v][w][i] = src / 16 == w ? static_cast<unsigned char>(src % 16) : 0x80;
        }
    return c;
}

inline constexpr ShuffleControls kShuffle = make_shuffle_controls();

__attribute__((target("ssse3"))) inline void swap_rb24_ssse3(unsigned char *p, size_t pixels) {
    auto ctl = [](int v, int w) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(kShuffle.take[v][w]));
    };
    const __m128i c00 = ctl(0, 0), c01 = ctl(0, 1), c10 = ctl(1, 0), c11 = ctl(1, 1),
                  c12 = ctl(1, 2), c21 = ctl(2, 1), c22 = ctl(2, 2);
    size_t blocks = pixels / 16;
    for (; blocks != 0; --blocks, p += 48) {
        prefetch_ahead(p);
        __m128i *v = reinterpret_cast<__m128i *>(p);
        const __m128i v0 = _mm_loadu_si128(v), v1 = _mm_loadu_si128(v + 1),
                      v2 = _mm_loadu_si128(v + 2);
        _mm_storeu_si128(v, _mm_or_si128(_mm_shuffle_epi8(v0, c00), _mm_shuffle_epi8(v1, c01)));
        _mm_storeu_si128(v + 1, _mm_or_si128(_mm_shuffle_epi8(v1, c11),
                                             _mm_or_si128(_mm_shuffle_epi8(v0, c10),
                                                          _mm_shuffle_epi8(v2, c12))));
        _mm_storeu_si128(v + 2, _mm_or_si128(_mm_shuffle_epi8(v2, c22), _mm_shuffle_epi8(v1, c21)));
    }
    swap_rb24_scalar(p, pixels % 16);
}

} // namespace detail

inline void swap_rb24(unsigned char *p, size_t pixels) {
    if (have_ssse3())
        detail::swap_rb24_ssse3(p, pixels);
    else
        swap_rb24_sse2(p, pixels);
}
inline void bgrx_to_rgb(unsigned char *dst, const unsigned char *src, size_t pixels) {
    bgrx_to_rgb_sse2(dst, src, pixels);
}
inline void rgbx_to_rgb(unsigned char *dst, const unsigned char *src, size_t pixels) {
    rgbx_to_rgb_sse2(dst, src, pixels);
}

#else

inline void swap_rb24(unsigned char *p, size_t pixels) { swap_rb24_scalar(p, pixels); }
inline void bgrx_to_rgb(unsigned char *dst, const unsigned char *src, size_t pixels) {
    bgrx_to_rgb_scalar(dst, src, pixels);
}
inline void rgbx_to_rgb(unsigned char *dst, const unsigned char *src, size_t pixels) {
    rgbx_to_rgb_scalar(dst, src, pixels);
}

#endif

} // namespace pclxl::raster

#endif
