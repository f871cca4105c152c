// The plain delta-row encoder, one byte at a time, exactly as the format is
// usually described: the yardstick for the library's fast encoder in the
// differential test and in the benchmarks. Also a small decoder for round
// trips. Header-only so that tests, benchmarks and fuzzers share it.
#ifndef PCLXL_REFERENCE_DELTA_ROW_REFERENCE_H
#define PCLXL_REFERENCE_DELTA_ROW_REFERENCE_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pclxl_ref {

inline unsigned char *put_command(unsigned char *out, unsigned count, const unsigned char *src,
                                  unsigned offset) {
    *out++ = static_cast<unsigned char>((count - 1) << 5 | (offset < 31 ? offset : 31));
    if (offset >= 31) {
        unsigned r = offset - 31;
        for (; r > 254; r -= 255)
            *out++ = 255;
        *out++ = static_cast<unsigned char>(r);
    }
    std::memcpy(out, src, count);
    return out + count;
}

// Encodes `row` against `seed` (updated in place) into `out`; returns the
// bytes written, count field included.
inline int delta_row_plain(unsigned char *out, const unsigned char *row, size_t length,
                           unsigned char *seed) {
    unsigned char *p = out + 2;
    unsigned offset = 0, run = 0;
    size_t run_start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (row[i] != seed[i]) {
            seed[i] = row[i];
            if (run++ == 0)
                run_start = i;
            if (run == 8) {
                p = put_command(p, run, seed + run_start, offset);
                offset = 0;
                run = 0;
            }
        } else if (run != 0) {
            p = put_command(p, run, seed + run_start, offset);
            offset = 1;
            run = 0;
        } else {
            ++offset;
        }
    }
    if (run != 0)
        p = put_command(p, run, seed + run_start, offset);
    size_t n = static_cast<size_t>(p - out - 2);
    out[0] = static_cast<unsigned char>(n);
    out[1] = static_cast<unsigned char>(n >> 8);
    return static_cast<int>(n + 2);
}

// Decodes one encoded row at `in` (at most `avail` bytes) into `seed`
// (`length` bytes, updated in place). Returns the bytes consumed, or 0 when
// the row is malformed: truncated, or writing past the end of the row.
inline size_t delta_row_decode(const unsigned char *in, size_t avail, unsigned char *seed,
                               size_t length) {
    if (avail < 2)
        return 0;
    const size_t n = in[0] | (size_t{in[1]} << 8);
    if (n + 2 > avail)
        return 0;
    const unsigned char *p = in + 2, *end = p + n;
    size_t pos = 0;
    while (p < end) {
        const unsigned count = (*p >> 5) + 1;
        size_t offset = *p++ & 31;
        for (unsigned char b = 255; offset >= 31 && b == 255; offset += b = *p++)
            if (p >= end)
                return 0;
        pos += offset;
        if (pos + count > length || static_cast<size_t>(end - p) < count)
            return 0;
        std::memcpy(seed + pos, p, count);
        p += count;
        pos += count;
    }
    return n + 2;
}

} // namespace pclxl_ref

#endif
