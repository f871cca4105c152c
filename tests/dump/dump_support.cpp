#include "dump_support.h"

#include <png.h>

#include "capture.h"

namespace dump_test {

const char *const kHeader = "29 20 48 50 2D 50 43 4C 20 58 4C 3B 33 3B 30 3B 0D 0A";

Bytes from_hex(const std::string &text, int64_t *mark) {
    const size_t bar = text.find('|');
    if (bar == std::string::npos)
        return pclxl_test::hex(text);
    if (mark)
        *mark = int64_t(pclxl_test::hex(text.substr(0, bar)).size());
    return pclxl_test::hex(text.substr(0, bar) + text.substr(bar + 1));
}

std::string in_session(const std::string &body) {
    return std::string(kHeader) + " D1 58 02 58 02 F8 89 C0 00 F8 86 41 " // BeginSession
           + "C0 00 F8 88 C0 01 F8 82 48 " + body + " 49 42";             // OpenDataSource
}

std::string in_page(const std::string &body) {
    return in_session("C0 00 F8 28 C0 02 F8 25 43 " + body + " 44");
}

std::string text_hex(const std::string &text) {
    return pclxl_test::to_hex(pclxl_test::bytes_of(text));
}

const char *const kUel = "1B 25 2D 31 32 33 34 35 58";

std::string in_job(const std::string &body) {
    return std::string(kUel) + text_hex("@PJL JOB\r\n@PJL ENTER LANGUAGE=PCLXL\r\n") +
           in_page(body) + kUel + text_hex("@PJL EOJ\r\n") + kUel;
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

} // namespace dump_test
