#include "jpeg_block.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace pclxl_tool {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return;
// jump back to the decoder with the library's message instead of exiting.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void on_error(j_common_ptr info) {
    auto *err = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

void on_message(j_common_ptr) {} // warnings are not worth a line each

} // namespace

std::string decode_jpeg_block(const std::vector<uint8_t> &data, uint32_t width, int components,
                              uint32_t rows, const std::function<void(const uint8_t *)> &row) {
    if (data.empty())
        return "empty JPEG block";
    jpeg_decompress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = on_error;
    err.base.output_message = on_message;
    std::vector<uint8_t> line;
    std::string failure;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return std::string("JPEG data: ") + err.message;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_width != width || info.output_height != rows ||
        info.output_components != components) {
        failure = "JPEG block is " + std::to_string(info.output_width) + "x" +
                  std::to_string(info.output_height) + " with " +
                  std::to_string(info.output_components) + " components; the image block is " +
                  std::to_string(width) + "x" + std::to_string(rows) + " with " +
                  std::to_string(components);
        jpeg_destroy_decompress(&info);
        return failure;
    }
    line.resize(size_t(width) * size_t(components));
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows_out[1] = {line.data()};
        jpeg_read_scanlines(&info, rows_out, 1);
        row(line.data());
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return "";
}

} // namespace pclxl_tool
