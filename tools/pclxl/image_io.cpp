#include "image_io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <png.h>

#include "file_io.h"

namespace pclxl_tool {

namespace {

// Composites one 8-bit sample with alpha over white, rounding to nearest.
inline uint8_t over_white(unsigned value, unsigned alpha) {
    return static_cast<uint8_t>((value * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

struct PngSource {
    const std::vector<uint8_t> *data;
    size_t pos;
};

struct PngError {
    jmp_buf jump;
    char message[200];
};

void png_read_memory(png_structp png, png_bytep out, png_size_t length) {
    auto *src = static_cast<PngSource *>(png_get_io_ptr(png));
    if (src->data->size() - src->pos < length)
        png_error(png, "file is truncated");
    std::memcpy(out, src->data->data() + src->pos, length);
    src->pos += length;
}

void png_on_error(png_structp png, png_const_charp message) {
    auto *err = static_cast<PngError *>(png_get_error_ptr(png));
    std::snprintf(err->message, sizeof err->message, "%s", message);
    std::longjmp(err->jump, 1);
}

void png_on_warning(png_structp, png_const_charp) {}

// Largest image the decoders accept: the library sends 16-bit sizes.
constexpr unsigned kMaxSide = 65535;
constexpr uint64_t kMaxDeflateRatio = 1032;

} // namespace

bool decode_png(const std::vector<uint8_t> &data, Image &image, std::string &error) {
    // Everything that must survive a longjmp out of libpng lives here,
    // constructed before setjmp.
    PngSource src{&data, 0};
    PngError err{};
    std::vector<uint8_t> raw;
    std::vector<png_bytep> rows;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, png_on_error, png_on_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = "out of memory";
        return false;
    }
    if (setjmp(err.jump)) {
        png_destroy_read_struct(&png, &info, nullptr);
        error = std::string("corrupt PNG: ") + err.message;
        return false;
    }
    png_set_read_fn(png, &src, png_read_memory);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int color_type = png_get_color_type(png, info);
    const int bit_depth = png_get_bit_depth(png, info);
    // Deflate packs at most 1032 bytes into one, so rows the file cannot
    // hold are refused before anything is allocated for them.
    const uint64_t packed_row = (uint64_t(width) * png_get_channels(png, info) * bit_depth + 7) / 8;
    if ((packed_row + 1) * height > kMaxDeflateRatio * data.size()) {
        png_destroy_read_struct(&png, &info, nullptr);
        error = "PNG data is truncated (" + std::to_string(width) + "x" + std::to_string(height) +
                " pixels cannot come from " + std::to_string(data.size()) + " bytes)";
        return false;
    }
    const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS);

    Image::Kind kind = Image::Rgb;
    if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
        kind = (bit_depth == 1 && !has_trns) ? Image::Bilevel : Image::Gray;
    if (color_type == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int entries = 0;
        png_get_PLTE(png, info, &palette, &entries);
        bool all_gray = entries > 0;
        for (int k = 0; k < entries; ++k)
            all_gray &= palette[k].red == palette[k].green && palette[k].green == palette[k].blue;
        if (all_gray)
            kind = Image::Gray;
    }

    // Expand everything to 8-bit gray+alpha or RGBA; composite afterwards.
    png_set_scale_16(png);
    png_set_expand(png); // palette to RGB, low gray depths to 8, tRNS to alpha
    if (kind != Image::Rgb && color_type == PNG_COLOR_TYPE_PALETTE)
        png_set_rgb_to_gray_fixed(png, 1, -1, -1); // every entry is gray already
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const size_t channels = png_get_channels(png, info);
    const size_t rowbytes = png_get_rowbytes(png, info);
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    image.kind = kind;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    const size_t out_channels = kind == Image::Rgb ? 3 : 1;
    // Rows are read one at a time into the image; interlaced ones need
    // all of them first.
    try {
        raw.resize(rowbytes * (interlaced ? height : 1));
        rows.resize(interlaced ? height : 1);
        image.pixels.assign(static_cast<size_t>(width) * height * out_channels, 0);
    } catch (const std::bad_alloc &) {
        png_destroy_read_struct(&png, &info, nullptr);
        error = "not enough memory for " + std::to_string(width) + "x" + std::to_string(height) +
                " pixels";
        return false;
    }
    // After the transforms a pixel is gray+alpha (2 bytes) or RGBA (4).
    auto composite = [&](const uint8_t *in, png_uint_32 y) {
        uint8_t *out = image.pixels.data() + static_cast<size_t>(y) * width * out_channels;
        for (png_uint_32 x = 0; x < width; ++x, in += channels) {
            const unsigned alpha = in[channels - 1];
            if (out_channels == 3) {
                for (int c = 0; c < 3; ++c)
                    *out++ = over_white(in[c], alpha);
            } else {
                *out++ = over_white(in[0], alpha);
            }
        }
    };
    if (interlaced) {
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = raw.data() + y * rowbytes;
        png_read_image(png, rows.data());
        for (png_uint_32 y = 0; y < height; ++y)
            composite(rows[y], y);
    } else {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, raw.data(), nullptr);
            composite(raw.data(), y);
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

namespace {

// A small cursor over PNM header text: white space and '#' comments.
struct PnmCursor {
    const std::vector<uint8_t> &data;
    size_t pos = 0;

    bool number(unsigned long &value) {
        for (;;) {
            while (pos < data.size() && std::isspace(data[pos]))
                ++pos;
            if (pos < data.size() && data[pos] == '#') {
                while (pos < data.size() && data[pos] != '\n')
                    ++pos;
                continue;
            }
            break;
        }
        if (pos >= data.size() || !std::isdigit(data[pos]))
            return false;
        value = 0;
        while (pos < data.size() && std::isdigit(data[pos])) {
            value = value * 10 + (data[pos++] - '0');
            if (value > 0xFFFFFFul)
                return false;
        }
        return true;
    }
};

} // namespace

bool decode_pnm(const std::vector<uint8_t> &data, Image &image, std::string &error) {
    if (data.size() < 2 || data[0] != 'P' || data[1] < '1' || data[1] > '6') {
        error = "not a PNM file";
        return false;
    }
    const int format = data[1] - '0';
    const bool plain = format <= 3;
    const bool bitmap = format == 1 || format == 4;
    PnmCursor cur{data};
    cur.pos = 2;
    unsigned long width = 0, height = 0, maxval = 1;
    if (!cur.number(width) || !cur.number(height) || (!bitmap && !cur.number(maxval))) {
        error = "corrupt PNM header";
        return false;
    }
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide || maxval == 0 ||
        maxval > 65535) {
        error = "unsupported PNM size or maximum value";
        return false;
    }
    image.kind = bitmap ? Image::Bilevel : (format == 3 || format == 6) ? Image::Rgb : Image::Gray;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    const size_t samples = width * height * image.channels();
    // Check what the header promises against the bytes there before
    // allocating: a plain sample takes at least one character, a raw one
    // its bytes.
    // (a raw header ends with one white-space byte)
    const size_t avail = data.size() - std::min(data.size(), cur.pos + (plain ? 0 : 1));
    const size_t needed = plain    ? samples
                          : bitmap ? (width + 7) / 8 * height
                                   : samples * (maxval > 255 ? 2 : 1);
    if (avail < needed) {
        error = "PNM data is truncated (" + std::to_string(width) + "x" + std::to_string(height) +
                " pixels need " + std::to_string(needed) + " bytes, the file has " +
                std::to_string(avail) + ")";
        return false;
    }
    try {
        image.pixels.assign(samples, 0);
    } catch (const std::bad_alloc &) {
        error = "not enough memory for " + std::to_string(width) + "x" + std::to_string(height) +
                " pixels";
        return false;
    }

    if (plain) {
        for (size_t i = 0; i < samples; ++i) {
            unsigned long v = 0;
            if (bitmap) {
                // P1 digits need no separators: read one character.
                while (cur.pos < data.size() &&
                       (std::isspace(data[cur.pos]) || data[cur.pos] == '#')) {
                    if (data[cur.pos] == '#')
                        while (cur.pos < data.size() && data[cur.pos] != '\n')
                            ++cur.pos;
                    else
                        ++cur.pos;
                }
                if (cur.pos >= data.size() || (data[cur.pos] != '0' && data[cur.pos] != '1')) {
                    error = "PNM data is truncated or corrupt";
                    return false;
                }
                v = data[cur.pos++] - '0';
            } else if (!cur.number(v) || v > maxval) {
                error = "PNM data is truncated or corrupt";
                return false;
            }
            image.pixels[i] =
                bitmap ? (v ? 0 : 255) : static_cast<uint8_t>((v * 255 + maxval / 2) / maxval);
        }
        return true;
    }

    // Raw formats: exactly one white-space byte after the header.
    if (cur.pos >= data.size() || !std::isspace(data[cur.pos])) {
        error = "corrupt PNM header";
        return false;
    }
    ++cur.pos;
    const uint8_t *in = data.data() + cur.pos;
    const size_t raw_avail = data.size() - cur.pos;
    if (bitmap) {
        const size_t row_bytes = (width + 7) / 8;
        if (raw_avail < row_bytes * height) {
            error = "PNM data is truncated";
            return false;
        }
        for (size_t y = 0; y < height; ++y)
            for (size_t x = 0; x < width; ++x) {
                const bool black = in[y * row_bytes + x / 8] & (0x80 >> (x % 8));
                image.pixels[y * width + x] = black ? 0 : 255;
            }
        return true;
    }
    const size_t bytes_per_sample = maxval > 255 ? 2 : 1;
    if (raw_avail < samples * bytes_per_sample) {
        error = "PNM data is truncated";
        return false;
    }
    for (size_t i = 0; i < samples; ++i) {
        unsigned long v = bytes_per_sample == 2 ? (in[2 * i] << 8 | in[2 * i + 1]) : in[i];
        if (v > maxval) {
            error = "PNM sample above its maximum value";
            return false;
        }
        image.pixels[i] = maxval == 255 ? static_cast<uint8_t>(v)
                                        : static_cast<uint8_t>((v * 255 + maxval / 2) / maxval);
    }
    return true;
}

bool read_input(const std::string &path, std::vector<uint8_t> &data, std::string &error) {
    const bool from_stdin = path == "-";
    FILE *f = from_stdin ? stdin : open_file(path.c_str(), "rb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    uint8_t buf[65536];
    size_t n;
    try {
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            data.insert(data.end(), buf, buf + n);
    } catch (const std::bad_alloc &) {
        error = "not enough memory to read it (" + std::to_string(data.size()) + " bytes so far)";
        if (!from_stdin)
            std::fclose(f);
        return false;
    }
    const bool read_error = std::ferror(f);
    if (!from_stdin)
        std::fclose(f);
    if (read_error) {
        error = "read error";
        return false;
    }
    return true;
}

bool decode_image(const std::vector<uint8_t> &data, Image &image, std::string &error) {
    if (data.size() >= 8 && !png_sig_cmp(data.data(), 0, 8))
        return decode_png(data, image, error);
    if (data.size() >= 2 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6')
        return decode_pnm(data, image, error);
    error = "unsupported image format (PNG and PNM are supported)";
    return false;
}

bool load_image(const std::string &path, Image &image, std::string &error) {
    std::vector<uint8_t> data;
    return read_input(path, data, error) && decode_image(data, image, error);
}

bool save_png(const std::string &path, const Image &image, bool bilevel_as_1bit,
              std::string &error) {
    png_image out;
    std::memset(&out, 0, sizeof out);
    out.version = PNG_IMAGE_VERSION;
    out.width = image.width;
    out.height = image.height;
    out.format = image.kind == Image::Rgb ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    if (image.kind == Image::Bilevel && bilevel_as_1bit) {
        // The simplified writer has no 1-bit output; use the classic one.
        FILE *f = std::fopen(path.c_str(), "wb");
        if (!f) {
            error = std::strerror(errno);
            return false;
        }
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            std::fclose(f);
            error = "PNG write failed";
            return false;
        }
        png_init_io(png, f);
        png_set_IHDR(png, info, image.width, image.height, 1, PNG_COLOR_TYPE_GRAY,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_set_packing(png);
        std::vector<uint8_t> row(image.width);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x)
                row[x] = image.pixels[static_cast<size_t>(y) * image.width + x] ? 1 : 0;
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        return std::fclose(f) == 0;
    }
    if (!png_image_write_to_file(&out, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
        error = out.message;
        return false;
    }
    return true;
}

} // namespace pclxl_tool
