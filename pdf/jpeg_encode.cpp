#include "jpeg_encode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace pclxl::pdf {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void on_error(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

void on_message(j_common_ptr) {}

// libjpeg's own buffer; no C++ object lives across its calls.
bool encode(const uint8_t *pixels, int width, int height, int components, int quality,
            unsigned char **buffer, unsigned long *size) {
    jpeg_compress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = on_error;
    err.base.output_message = on_message;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const size_t stride = size_t(width) * components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

bool encode_jpeg(const uint8_t *pixels, int width, int height, int components, int quality,
                 std::vector<uint8_t> &out) {
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    const bool ok = encode(pixels, width, height, components, quality, &buffer, &size);
    if (ok)
        out.assign(buffer, buffer + size);
    std::free(buffer);
    return ok;
}

} // namespace pclxl::pdf
