// Image output: the cursor move, BeginImage, the rows in delta-row
// compressed ReadImage blocks, EndImage.
//
// Both image calls compress the host's rows (R,G,B rows as they lie, others
// through a one-row conversion, or in place for the 1.0 call) into one block
// buffer and sends the block (a 20-byte header and the data, two pieces)
// once it holds more than 65535 - 2 * S bytes, so a block never exceeds
// 64 KB plus one row. The seed row carries over from block to block within
// an image.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core.h"
#include "raster/pixels.h"
#include "stream/put.h"
#include "stream/wire.h"

namespace attr = pclxl::wire::attr;
namespace code = pclxl::wire::type_code;

namespace pclxl::core {
namespace {

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
bool arguments_ok(Out out, const ImageSource &src, const unsigned char *data, int32_t width,
                  int32_t height, int32_t stride) {
    const char *fmt = nullptr;
    long value = 0;
    if (width > kMaxSide) {
        fmt = "%s(): Fatal Error: width %ld is above 65535\n";
        value = width;
    } else if (height > kMaxSide) {
        fmt = "%s(): Fatal Error: height %ld is above 65535\n";
        value = height;
    } else if (long s = row_bytes(width, stride, src.bits_per_pixel); s < 1 || s > kMaxRowBytes) {
        fmt = "%s(): Fatal Error: row size %ld bytes is outside 1..32767\n";
        value = s;
    } else if (data == nullptr && height > 0) {
        fmt = "%s(): Fatal Error: image data is NULL for %ld rows\n";
        value = height;
    }
    if (fmt == nullptr)
        return true;
    say(out, fmt, src.function, value);
    return false;
}

void *allocate(Out out, const char *function, size_t bytes) {
    void *p = std::malloc(bytes);
    if (p == nullptr)
        say(out, "%s(): malloc(%zu) failed, errno = %s\n", function, bytes, std::strerror(errno));
    return p;
}

// Sends one block: header, then data. Reports the refusal with the caller's
// wording for the header (it differs for the last block).
bool send_block(Out out, const char *function, uint16_t start_line, uint16_t block_height,
                unsigned char *data, uint32_t length, const char *header_failure) {
    if (!read_image(out, start_line, block_height, wire::enums::eDeltaRowCompression, length)) {
        say(out, "%s(): Fatal Error: %s\n", function, header_failure);
        return false;
    }
    if (!write_embed_data(out, data, length)) {
        say(out, "%s(): Fatal Error: _dev_write().\n", function);
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

// The row as R,G,B (or gray, or bits), ready for the encoder.
const unsigned char *prepare_row(Rows rows, const unsigned char *row, unsigned char *scratch,
                                 size_t row_size) {
    const size_t pixels = row_size / 3;
    switch (rows) {
    case Rows::AsIs: return row;
    case Rows::SwapInPlace: raster::swap_rb24(const_cast<unsigned char *>(row), pixels); return row;
    case Rows::SwapCopy:
        std::memcpy(scratch, row, row_size);
        raster::swap_rb24(scratch, pixels);
        return scratch;
    case Rows::BGRXToRGB: raster::bgrx_to_rgb(scratch, row, pixels); return scratch;
    case Rows::RGBXToRGB: raster::rgbx_to_rgb(scratch, row, pixels); return scratch;
    }
    return row;
}

// Compresses and sends every row; false after a refused block.
bool write_rows(Out out, const ImageSource &src, const Buffers &buf, const unsigned char *data,
                int32_t height, ptrdiff_t stride, size_t row_size) {
    const uint32_t threshold = kBlockLimit - 2 * static_cast<uint32_t>(row_size);
    uint16_t start_line = 0, block_height = 0;
    uint32_t used = 0;
    for (int32_t r = 0; r < height; ++r) {
        const unsigned char *row = prepare_row(src.rows, data + r * stride, buf.scratch, row_size);
        // Rows used as they lie are their own seed: the row before is still
        // there, unchanged, so nothing is copied.
        used += static_cast<uint32_t>(
            src.rows == Rows::AsIs ? delta_row_against(buf.block + used, row, row_size,
                                                       r == 0 ? buf.seed : data + (r - 1) * stride)
                                   : delta_row(buf.block + used, row, row_size, buf.seed));
        ++block_height;
        if (used > threshold) {
            if (!send_block(out, src.function, start_line, block_height, buf.block, used,
                            "failed in pclxl_read_image()"))
                return false;
            start_line = static_cast<uint16_t>(start_line + block_height);
            block_height = 0;
            used = 0;
        }
    }
    if (block_height != 0)
        return send_block(out, src.function, start_line, block_height, buf.block, used,
                          "failed in _pclxl_read_image()");
    return true;
}

} // namespace

int write_image(Out out, const ImageSource &src, int32_t color_mapping, const unsigned char *data,
                int32_t width, int32_t height, int32_t stride, int16_t x, int16_t y,
                uint16_t dest_width, uint16_t dest_height) {
    if (!arguments_ok(out, src, data, width, height, stride))
        return 0;
    const size_t row_size = static_cast<size_t>(row_bytes(width, stride, src.bits_per_pixel));

    Buffers buf;
    if (!(buf.scratch = static_cast<unsigned char *>(allocate(out, src.function, row_size))) ||
        !(buf.seed = static_cast<unsigned char *>(allocate(out, src.function, row_size))) ||
        !(buf.block = static_cast<unsigned char *>(allocate(out, src.function, kBlockBufferBytes))))
        return 0;

    begin_image(out, color_mapping, x, y, dest_width, dest_height,
                static_cast<unsigned short>(width), static_cast<unsigned short>(height));
    std::memset(buf.seed, 0, row_size);
    if (!write_rows(out, src, buf, data, height, stride, row_size))
        return 0;
    end_image(out);
    return 1;
}

int write_bitmap_data(Out out, int32_t color_mapping, unsigned char *data, int32_t width,
                      int32_t height, int32_t stride, int32_t bits_per_pixel, int16_t x, int16_t y,
                      uint16_t dest_width, uint16_t dest_height) {
    constexpr const char *kName = "pclxl_write_bitmap_data";
    Rows rows = Rows::AsIs;
    switch (bits_per_pixel) {
    case 1:
    case 8: break;
    case 24: rows = Rows::SwapInPlace; break;
    case 32: rows = Rows::BGRXToRGB; break;
    default:
        say(out, "%s(): Fatal Error: %ld bits per pixel is not 1, 8, 24 or 32\n", kName,
            static_cast<long>(bits_per_pixel));
        return 0;
    }
    return write_image(out, ImageSource{kName, bits_per_pixel, rows}, color_mapping, data, width,
                       height, stride, x, y, dest_width, dest_height);
}

int write_pixels(Out out, int32_t format, const unsigned char *data, int32_t width, int32_t height,
                 int32_t stride, int16_t x, int16_t y, uint16_t dest_width, uint16_t dest_height) {
    constexpr const char *kName = "pclxl_write_pixels";
    Rows rows = Rows::AsIs;
    switch (format) {
    case PCLXL_PIXELS_BITS1:
    case PCLXL_PIXELS_GRAY8:
    case PCLXL_PIXELS_RGB24: break;
    case PCLXL_PIXELS_BGR24: rows = Rows::SwapCopy; break;
    case PCLXL_PIXELS_BGRX32: rows = Rows::BGRXToRGB; break;
    case PCLXL_PIXELS_RGBX32: rows = Rows::RGBXToRGB; break;
    default:
        say(out, "%s(): Fatal Error: format %#lx is not a PCLXL_PIXELS_ format\n", kName,
            static_cast<long>(format));
        return 0;
    }
    const int32_t mapping =
        format == PCLXL_PIXELS_BITS1 ? wire::enums::eIndexedPixel : wire::enums::eDirectPixel;
    return write_image(out, ImageSource{kName, format & 0xFF, rows}, mapping, data, width, height,
                       stride, x, y, dest_width, dest_height);
}

void begin_image(Out out, int color_mapping, short x, short y, unsigned short dest_width,
                 unsigned short dest_height, unsigned short source_width,
                 unsigned short source_height) {
    set_cursor(out, x, y);
    add_attribute(out, static_cast<unsigned>(color_mapping), attr::ColorMapping, code::UByte);
    add_attribute(
        out, color_mapping == wire::enums::eIndexedPixel ? wire::enums::e1Bit : wire::enums::e8Bit,
        attr::ColorDepth, code::UByte);
    add_attribute(out, source_width, attr::SourceWidth, code::UInt16);
    add_attribute(out, source_height, attr::SourceHeight, code::UInt16);
    add_attribute_xy(out, dest_width, dest_height, attr::DestinationSize, code::UInt16XY);
    set_operator(out, wire::op::BeginImage);
}

int read_image(Out out, unsigned short start_line, unsigned short block_height,
               unsigned char compress_mode, unsigned int data_length) {
    namespace tag = wire::tag;
    unsigned char buf[20];
    unsigned char *p = put_attr(put16le(put8(buf, tag::UInt16), start_line), attr::StartLine);
    p = put_attr(put16le(put8(p, tag::UInt16), block_height), attr::BlockHeight);
    p = put_attr(put8(put8(p, tag::UByte), compress_mode), attr::CompressMode);
    p = put32le(put8(put8(p, wire::op::ReadImage), tag::DataLength), data_length);
    return write_piece(out, buf, p) ? 1 : 0;
}

int write_embed_data(Out out, const void *data, unsigned int length) {
    if (write(out, data, length))
        return 1;
    say(out, "%s(): Fatal Error: _dev_write().\n", "pclxl_write_embed_data");
    say(out, "<= %s\n", "pclxl_write_embed_data");
    return 0;
}

void end_image(Out out) { set_operator(out, wire::op::EndImage); }

} // namespace pclxl::core
