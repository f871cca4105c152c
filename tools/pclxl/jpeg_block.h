// Decodes the JPEG blocks of images (CompressMode eJPEGCompression): each
// block's data is a complete JPEG stream holding the block's rows.
#ifndef PCLXL_TOOL_JPEG_BLOCK_H
#define PCLXL_TOOL_JPEG_BLOCK_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pclxl_tool {

// Decodes `data` into rows of width x components 8-bit samples, calling
// `row` for each. Returns an empty text on success, else why it failed
// (not JPEG, another size or number of components, corrupt data).
std::string decode_jpeg_block(const std::vector<uint8_t> &data, uint32_t width, int components,
                              uint32_t rows, const std::function<void(const uint8_t *)> &row);

} // namespace pclxl_tool

#endif
