// Delta-row compression (PCL XL CompressMode 3) of one scan line against the
// previous one, the seed row.
//
// Encoded row: a uint16 byte count (low byte first), then replacement
// commands. A command byte holds (count - 1) in bits 7-5 and an offset in
// bits 4-0; offset 31 means extension bytes follow (any number of 255s, then
// one byte 0..254, all added to 31). The offset counts the unchanged bytes
// since the end of the previous command; up to 8 replacement bytes follow.
//
// A run of changed bytes is cut into commands of 8; the first carries the
// gap before the run, the others offset 0. Instead of testing byte by byte,
// the encoder compares 64-byte windows at once (diff_mask.h), skips windows
// without changes, and finds run boundaries with count-trailing-zeros. The
// seed row is updated one window at a time by copying the whole window: the
// unchanged bytes are equal anyway. Long runs are written window by window,
// while their bytes are in cache. The output is byte for byte that of the
// plain one-byte-at-a-time algorithm.
#include "raster/delta_row_encoder.h"

unsigned char *pclxl::core::delta_row_command(unsigned char *out, unsigned short count,
                                              const unsigned char *src, unsigned short offset) {
    out = pclxl::raster::put_command(out, count, offset);
    std::memcpy(out, src, count);
    return out + count;
}

int pclxl::core::delta_row(unsigned char *out, const unsigned char *row, size_t length,
                           unsigned char *seed) {
    using namespace pclxl::raster;
    return have_avx512_vbmi2() ? encode_delta_row<true, true>(out, row, length, seed)
                               : encode_delta_row<true, false>(out, row, length, seed);
}

int pclxl::core::delta_row_against(unsigned char *out, const unsigned char *row, size_t length,
                                   const unsigned char *previous) {
    using namespace pclxl::raster;
    return have_avx512_vbmi2() ? encode_delta_row<false, true>(out, row, length, previous)
                               : encode_delta_row<false, false>(out, row, length, previous);
}
