#include "png_image.h"

#include <csetjmp>
#include <cerrno>
#include <png.h>

#include "file_io.h"

namespace pclxl_tool {

namespace {

using pclxl_reader::ImageInfo;

// Sample number `i` of a row packed at `bits` bits per sample, most
// significant bits first.
unsigned sample(const uint8_t *row, uint64_t i, int bits) {
    if (bits == 8)
        return row[i];
    const uint64_t bit = i * unsigned(bits);
    const unsigned shift = 8 - unsigned(bits) - unsigned(bit % 8);
    return (row[bit / 8] >> shift) & ((1u << bits) - 1);
}

uint8_t to_8bit(unsigned value, int bits) { return uint8_t(value * 255u / ((1u << bits) - 1)); }

} // namespace

PngImage::~PngImage() { close(); }

bool PngImage::open(const std::string &path, const ImageInfo &image) {
    image_ = image;
    path_ = path;
    const bool gray = image.color_mapping == pclxl_reader::enums::eIndexedPixel
                          ? image.palette_components == 1
                          : image.components == 1;
    out_components_ = gray ? 1 : 3;
    out_.assign(size_t(image.width) * out_components_, 0);
    file_ = open_file(path.c_str(), "wb");
    rows_ = file_ ? temp_file() : nullptr;
    if (file_ && !rows_) {
        const int saved = errno;
        std::fclose(file_);
        file_ = nullptr;
        std::remove(path.c_str());
        errno = saved;
    }
    return file_ != nullptr;
}

void PngImage::convert(const uint8_t *pixels) {
    const bool indexed = image_.color_mapping == pclxl_reader::enums::eIndexedPixel;
    const size_t entries = image_.palette.size() / size_t(image_.palette_components);
    for (uint32_t x = 0; x < image_.width; ++x) {
        uint8_t *out = &out_[size_t(x) * out_components_];
        if (indexed) {
            const unsigned index = sample(pixels, x, image_.depth);
            for (int c = 0; c < out_components_; ++c)
                out[c] = index < entries
                             ? image_.palette[index * image_.palette_components + unsigned(c)]
                             : 0;
        } else {
            for (int c = 0; c < out_components_; ++c)
                out[c] = to_8bit(
                    sample(pixels, uint64_t(x) * image_.components + unsigned(c), image_.depth),
                    image_.depth);
        }
    }
}

void PngImage::write_row(const uint8_t *pixels) {
    if (!file_ || failed_ || rows_written_ >= image_.height)
        return;
    convert(pixels);
    if (std::fwrite(out_.data(), 1, out_.size(), rows_) != out_.size())
        failed_ = true;
    ++rows_written_;
}

bool PngImage::write_png() {
    if (std::fflush(rows_) != 0 || std::fseek(rows_, 0, SEEK_SET) != 0)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = info != nullptr;
    if (ok && setjmp(png_jmpbuf(png))) {
        ok = false;
    } else if (ok) {
        png_init_io(png, file_);
        png_set_IHDR(png, info, image_.width, rows_written_, 8,
                     out_components_ == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (uint32_t y = 0; y < rows_written_ && ok; ++y) {
            ok = std::fread(out_.data(), 1, out_.size(), rows_) == out_.size();
            if (ok)
                png_write_row(png, out_.data());
        }
        if (ok)
            png_write_end(png, info);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return ok;
}

bool PngImage::close() {
    if (!file_)
        return true;
    bool ok = !failed_;
    const bool empty = rows_written_ == 0 || image_.width == 0;
    if (ok && !empty)
        ok = write_png();
    std::fclose(rows_);
    rows_ = nullptr;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (empty)
        std::remove(path_.c_str());
    return ok;
}

} // namespace pclxl_tool
