#include "dump_support.h"

#include <cstdlib>
#include <png.h>
#include <stdexcept>

namespace dump_test {

const char *const kHeader = "29 20 48 50 2D 50 43 4C 20 58 4C 3B 33 3B 30 3B 0D 0A";

namespace {
const char kBeginSession[] = "D1 58 02 58 02 F8 89 C0 00 F8 86 41";
const char kOpenDataSource[] = "C0 00 F8 88 C0 01 F8 82 48";
const char kBeginPage[] = "C0 00 F8 28 C0 02 F8 25 43";
} // namespace

Bytes from_hex(const std::string &text, int64_t *mark) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (c == ' ')
            continue;
        if (c == '|') {
            if (mark)
                *mark = int64_t(out.size());
            continue;
        }
        const int v = std::stoi(std::string(1, c), nullptr, 16);
        if (high < 0) {
            high = v;
        } else {
            out.push_back(uint8_t(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd number of hex digits: " + text);
    return out;
}

std::string in_session(const std::string &body) {
    return std::string(kHeader) + " " + kBeginSession + " " + kOpenDataSource + " " + body +
           " 49 42";
}

std::string in_page(const std::string &body) {
    return in_session(std::string(kBeginPage) + " " + body + " 44");
}

Result read_bytes(const Bytes &bytes) {
    Result r;
    pclxl_reader::Source source(bytes.data(), bytes.size());
    r.ok = pclxl_reader::read_job(source, r.recorder, r.summary, r.error);
    return r;
}

Bytes read_png(const std::string &path, int *channels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return {};
    *channels = int(PNG_IMAGE_PIXEL_CHANNELS(image.format));
    Bytes pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    return pixels;
}

bool shell(const std::string &command) { return std::system(command.c_str()) == 0; }

} // namespace dump_test
