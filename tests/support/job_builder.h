// A whole job written through the library, and the reader's verdict on
// any bytes: well-formed and whole, or not.
#ifndef PCLXL_TESTS_JOB_BUILDER_H
#define PCLXL_TESTS_JOB_BUILDER_H

#include <functional>
#include <string>

#include "dump_support.h"
#include "pclxl.h"

namespace hostile {

// A job with every kind of command: PJL header, session, a page with
// graphics state, a path, a 24-bit image, a bitmap font and text; then the
// trailer. `page_body` (when given) replaces the page's drawing.
inline pclxl_test::Bytes build_job(const std::function<void()> &page_body = {}) {
    pclxl_test::Capture capture;
    pclxl_test::capture_stderr([&] {
        pclxl_start_job_new("A4", "plain", "tray_1", "color", false, "simplex", 1);
        pclxl_begin_session(600, 600);
        pclxl_open_datasource();
        pclxl_begin_page(0, 0, "simplex", "A4", 2, "Plain", 1, 0, 0, 0, 0);
        if (page_body) {
            page_body();
        } else {
            pclxl_set_rop3(252);
            pclxl_addRGBColor(0x00FF8000);
            pclxl_set_brush_source();
            const _point16 box[2] = {{100, 100}, {400, 300}};
            pclxl_add_rect16(box);
            pclxl_paint_path();
            pclxl_set_rop3(204);
            pclxl_set_color_space(2);
            unsigned char pixels[3 * 20 * 10];
            for (size_t i = 0; i < sizeof pixels; ++i)
                pixels[i] = static_cast<unsigned char>(i * 7);
            pclxl_write_bitmap_data(0, pixels, 20, 10, 60, 24, 50, 60, 20, 10);
            const unsigned char glyph[2 * 9] = {0xFF, 0x80, 0x81, 0x80, 0xFF, 0x80};
            const uint16_t codes[] = {'A', 'A'};
            const unsigned char advance[] = {10, 10};
            pclxl_set_font_header_for_bitmap("f", 112, 600, 600);
            pclxl_set_char_for_bitmap("f", 112, 'A', glyph, sizeof glyph, 0, 0, 9, 9);
            pclxl_set_font_for_bitmap("f", 112, 12);
            pclxl_set_cursorXY(200, 500);
            pclxl_paint_text_for_bitmap(codes, 2, advance, 2, 0);
        }
        pclxl_end_page(false, 1);
        pclxl_close_datasource();
        pclxl_end_session();
        pclxl_end_job();
    });
    return capture.all();
}

// The reader's verdict: well-formed and whole, or not.
inline dump_test::Result read(const pclxl_test::Bytes &bytes) {
    dump_test::Result r = dump_test::read_bytes(bytes);
    r.ok = r.ok && pclxl_reader::check_complete(r.summary, r.error);
    return r;
}

} // namespace hostile

#endif
