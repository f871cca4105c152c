// Image output: the cursor move, BeginImage, the rows in delta-row
// compressed ReadImage blocks, EndImage.
//
// pclxl_write_bitmap_data compresses the host's rows straight into one block
// buffer and sends the block (a 20-byte header and the data, two pieces)
// once it holds more than 65535 - 2 * S bytes, so a block never exceeds
// 64 KB plus one row. The seed row carries over from block to block within
// an image.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pclxl.hpp"
#include "raster/pixels.h"
#include "stream/put.h"
#include "stream/wire.h"

using namespace pclxl;
namespace attr = pclxl::wire::attr;
namespace code = pclxl::wire::type_code;

namespace {

constexpr const char *kWriteBitmap = "pclxl_write_bitmap_data";
constexpr long kMaxRowBytes = 32767;
constexpr long kMaxSide = 65535;
constexpr size_t kBlockBufferBytes = 2 * 65535;
constexpr uint32_t kBlockLimit = 65535;

// Bytes of each row that are compressed: the whole stride for 1-bit rows
// (padding included), one byte per pixel for gray, three for colour.
long row_bytes(int32_t width, int32_t stride, int32_t bits_per_pixel) {
    switch (bits_per_pixel) {
    case 1: return stride;
    case 8: return width;
    default: return 3L * width; // 24 and 32: sent as R,G,B
    }
}

// Refuses, with one line naming it, the first argument outside what the
// stream can carry. Nothing has been written when this fails.
bool arguments_ok(unsigned char *data, int32_t width, int32_t height, int32_t stride,
                  int32_t bits_per_pixel) {
    const char *fmt = nullptr;
    long value = 0;
    if (bits_per_pixel != 1 && bits_per_pixel != 8 && bits_per_pixel != 24 &&
        bits_per_pixel != 32) {
        fmt = "%s(): Fatal Error: %ld bits per pixel is not 1, 8, 24 or 32\n";
        value = bits_per_pixel;
    } else if (width > kMaxSide) {
        fmt = "%s(): Fatal Error: width %ld is above 65535\n";
        value = width;
    } else if (height > kMaxSide) {
        fmt = "%s(): Fatal Error: height %ld is above 65535\n";
        value = height;
    } else if (long s = row_bytes(width, stride, bits_per_pixel); s < 1 || s > kMaxRowBytes) {
        fmt = "%s(): Fatal Error: row size %ld bytes is outside 1..32767\n";
        value = s;
    } else if (data == nullptr && height > 0) {
        fmt = "%s(): Fatal Error: image data is NULL for %ld rows\n";
        value = height;
    }
    if (fmt == nullptr)
        return true;
    std::fprintf(stderr, fmt, kWriteBitmap, value);
    return false;
}

void *allocate(size_t bytes) {
    void *p = std::malloc(bytes);
    if (p == nullptr)
        std::fprintf(stderr, "%s(): malloc(%zu) failed, errno = %s\n", kWriteBitmap, bytes,
                     std::strerror(errno));
    return p;
}

// Sends one block: header, then data. Reports the refusal with the caller's
// wording for the header (it differs for the last block).
bool send_block(uint16_t start_line, uint16_t block_height, unsigned char *data, uint32_t length,
                const char *header_failure) {
    if (!pclxl_read_image(start_line, block_height, wire::enums::eDeltaRowCompression, length)) {
        std::fprintf(stderr, "%s(): Fatal Error: %s\n", kWriteBitmap, header_failure);
        return false;
    }
    if (!pclxl_write_embed_data(data, length)) {
        std::fprintf(stderr, "%s(): Fatal Error: _dev_write().\n", kWriteBitmap);
        return false;
    }
    return true;
}

struct Buffers {
    unsigned char *scratch = nullptr, *seed = nullptr, *block = nullptr;
    ~Buffers() {
        std::free(block);
        std::free(seed);
        std::free(scratch);
    }
};

// Compresses and sends every row; false after a refused block.
bool write_rows(const Buffers &buf, unsigned char *data, int32_t height, ptrdiff_t stride,
                int32_t bits_per_pixel, size_t row_size) {
    const uint32_t threshold = kBlockLimit - 2 * static_cast<uint32_t>(row_size);
    const size_t pixels = row_size / 3;
    uint16_t start_line = 0, block_height = 0;
    uint32_t used = 0;
    for (int32_t r = 0; r < height; ++r) {
        unsigned char *row = data + r * stride;
        unsigned char *source = row;
        if (bits_per_pixel == 24) {
            raster::swap_rb24(row, pixels);
        } else if (bits_per_pixel == 32) {
            raster::bgrx_to_rgb(buf.scratch, row, pixels);
            source = buf.scratch;
        }
        used += static_cast<uint32_t>(DeltaOneLine(buf.block + used, source, row_size, buf.seed));
        ++block_height;
        if (used > threshold) {
            if (!send_block(start_line, block_height, buf.block, used,
                            "failed in pclxl_read_image()"))
                return false;
            start_line = static_cast<uint16_t>(start_line + block_height);
            block_height = 0;
            used = 0;
        }
    }
    if (block_height != 0)
        return send_block(start_line, block_height, buf.block, used,
                          "failed in _pclxl_read_image()");
    return true;
}

} // namespace

extern "C" {

int pclxl_write_bitmap_data(int32_t color_mapping, unsigned char *data, int32_t width,
                            int32_t height, int32_t stride, int32_t bits_per_pixel, int16_t x,
                            int16_t y, uint16_t dest_width, uint16_t dest_height) {
    if (!arguments_ok(data, width, height, stride, bits_per_pixel))
        return 0;
    const size_t row_size = static_cast<size_t>(row_bytes(width, stride, bits_per_pixel));

    Buffers buf;
    if (!(buf.scratch = static_cast<unsigned char *>(allocate(row_size))) ||
        !(buf.seed = static_cast<unsigned char *>(allocate(row_size))) ||
        !(buf.block = static_cast<unsigned char *>(allocate(kBlockBufferBytes))))
        return 0;

    pclxl_begin_image(color_mapping, x, y, dest_width, dest_height,
                      static_cast<unsigned short>(width), static_cast<unsigned short>(height));
    std::memset(buf.seed, 0, row_size);
    if (!write_rows(buf, data, height, stride, bits_per_pixel, row_size))
        return 0;
    return pclxl_end_image();
}

int pclxl_begin_image(int color_mapping, short x, short y, unsigned short dest_width,
                      unsigned short dest_height, unsigned short source_width,
                      unsigned short source_height) {
    pclxl_set_cursorXY(x, y);
    _pclxl_add_attribute(static_cast<unsigned>(color_mapping), attr::ColorMapping, code::UByte);
    _pclxl_add_attribute(color_mapping == wire::enums::eIndexedPixel ? wire::enums::e1Bit
                                                                     : wire::enums::e8Bit,
                         attr::ColorDepth, code::UByte);
    _pclxl_add_attribute(source_width, attr::SourceWidth, code::UInt16);
    _pclxl_add_attribute(source_height, attr::SourceHeight, code::UInt16);
    _pclxl_add_attributeXY(dest_width, dest_height, attr::DestinationSize, code::UInt16XY);
    _pclxl_set_operator(wire::op::BeginImage);
    return 1;
}

int pclxl_read_image(unsigned short start_line, unsigned short block_height,
                     unsigned char compress_mode, unsigned int data_length) {
    namespace tag = wire::tag;
    unsigned char buf[20];
    unsigned char *p = put_attr(put16le(put8(buf, tag::UInt16), start_line), attr::StartLine);
    p = put_attr(put16le(put8(p, tag::UInt16), block_height), attr::BlockHeight);
    p = put_attr(put8(put8(p, tag::UByte), compress_mode), attr::CompressMode);
    p = put32le(put8(put8(p, wire::op::ReadImage), tag::DataLength), data_length);
    return write_piece(buf, p) ? 1 : 0;
}

int pclxl_write_embed_data(void *data, unsigned int length) {
    if (_dev_write(data, length))
        return 1;
    std::fprintf(stderr, "%s(): Fatal Error: _dev_write().\n", "pclxl_write_embed_data");
    std::fprintf(stderr, "<= %s\n", "pclxl_write_embed_data");
    return 0;
}

int pclxl_end_image(void) {
    _pclxl_set_operator(wire::op::EndImage);
    return 1;
}

} // extern "C"
