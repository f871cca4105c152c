// Delta-row compression of one scan line against the previous one, the seed
// row (raster/delta_row_encoder.h), in the form this processor runs best.
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
