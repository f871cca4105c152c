// Reading PNG and PNM images into the three kinds of raster the tool
// prints: bilevel, 8-bit gray and 24-bit RGB.
#ifndef PCLXL_TOOL_IMAGE_IO_H
#define PCLXL_TOOL_IMAGE_IO_H

#include <cstdint>
#include <string>
#include <vector>

namespace pclxl_tool {

struct Image {
    enum Kind { Bilevel, Gray, Rgb };
    Kind kind = Gray;
    int width = 0;
    int height = 0;
    // Rows top to bottom, no padding. Bilevel and Gray: one byte per pixel
    // (bilevel pixels are 0 black or 255 white); Rgb: R, G, B per pixel.
    std::vector<uint8_t> pixels;

    int channels() const { return kind == Rgb ? 3 : 1; }
};

// The bytes of a file, or of standard input for "-". Returns false with
// a message in `error` when it cannot be read.
bool read_input(const std::string &path, std::vector<uint8_t> &data, std::string &error);
// Decodes a PNG or a PNM image, chosen by its first bytes.
bool decode_image(const std::vector<uint8_t> &data, Image &image, std::string &error);

// Reads a PNG (any colour type and depth) or a PNM (P1 to P6) file, chosen
// by its first bytes. Alpha is composited on white and 16-bit samples are
// reduced to 8 bits. 1-bit gray PNGs and PBM files are bilevel, palette
// images are RGB unless every palette entry is gray.
// @return false with a message in `error` for unreadable, corrupt,
// truncated or unsupported files.
bool load_image(const std::string &path, Image &image, std::string &error);

// Decoders over bytes in memory, used by load_image().
bool decode_png(const std::vector<uint8_t> &data, Image &image, std::string &error);
bool decode_pnm(const std::vector<uint8_t> &data, Image &image, std::string &error);

// Writes an 8-bit PNG of the image (gray, or RGB); used by the tests.
bool save_png(const std::string &path, const Image &image, bool bilevel_as_1bit,
              std::string &error);

} // namespace pclxl_tool

#endif
