// JPEG encoding of decoded pixels, for images that came as JPEG but must
// be resampled before they are sent.
#ifndef PCLXL_PDF_JPEG_ENCODE_H
#define PCLXL_PDF_JPEG_ENCODE_H

#include <cstdint>
#include <vector>

namespace pclxl::pdf {

// Baseline JPEG of `width` x `height` pixels of 1 (gray) or 3 (RGB)
// components, rows packed. False when the encoder fails.
bool encode_jpeg(const uint8_t *pixels, int width, int height, int components, int quality,
                 std::vector<uint8_t> &out);

} // namespace pclxl::pdf

#endif
