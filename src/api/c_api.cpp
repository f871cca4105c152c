// The C interface of pclxl.h: each function binds the calling thread's
// output once and hands its arguments to the core. Nothing here encodes,
// and nothing in the core throws, so no exception can reach a C caller.
#include <new>

#include "core.h"
#include "stream/wire.h"
#include "text/font_format.h"

using namespace pclxl;
using core::bind;
namespace attr = pclxl::wire::attr;
namespace op = pclxl::wire::op;
namespace enums = pclxl::wire::enums;
namespace code = pclxl::wire::type_code;

extern "C" {

// ---- Output sink, writers and messages ----

int pclxl_init(const void *context, pclxl_write_fn callback) {
    gDataOut = callback;
    g_data_out_ctx = context;
    return 1;
}

void pclxl_exit(void) {}
void pclxl_flush_prn_file(void) {}

pclxl_writer *pclxl_writer_new(const void *context, pclxl_write_fn callback) {
    pclxl_writer *w = new (std::nothrow) pclxl_writer{context, callback, nullptr, nullptr};
    if (w == nullptr)
        core::say(bind(), "%s(): Fatal Error: out of memory\n", "pclxl_writer_new");
    return w;
}

pclxl_writer *pclxl_writer_use(pclxl_writer *writer) {
    pclxl_writer *before = bind();
    core::use(writer);
    return before;
}

void pclxl_writer_free(pclxl_writer *writer) {
    if (writer != nullptr && bind() == writer)
        core::use(nullptr);
    delete writer;
}

void pclxl_set_message_handler(pclxl_message_fn handler, void *user) {
    core::set_message_handler(bind(), handler, user);
}

void pclxl_add_comment(const void *bytes, uint32_t length) {
    core::add_comment(bind(), bytes, length);
}

void get_paper_pixel_pclxl(const char *name, int32_t *width, int32_t *height) {
    core::paper_pixels(name, width, height);
}

// ---- Job, session and page ----

void pclxl_start_job_new(const char *paper_name, const char *media_type, const char *media_source,
                         const char *color_mode, bool collate, const char *duplex_mode,
                         uint32_t copies) {
    core::start_job_new(bind(), "pclxl_start_job_new",
                        core::JobOptions{paper_name, media_type, media_source, color_mode, collate,
                                         duplex_mode, copies, nullptr, nullptr, 0});
}

int pclxl_start_job_with(const struct pclxl_job_settings *settings) {
    return core::start_job_with(bind(), settings);
}

void pclxl_start_job(const char *color_mode, uint32_t resolution) {
    core::start_job(bind(), color_mode, resolution);
}

void pclxl_end_job(void) { core::end_job(bind()); }

void pclxl_begin_session(uint16_t resolution_x, uint16_t resolution_y) {
    core::begin_session(bind(), resolution_x, resolution_y);
}
void pclxl_end_session(void) { core::end_session(bind()); }
void pclxl_open_datasource(void) { core::open_datasource(bind()); }
void pclxl_close_datasource(void) { core::close_datasource(bind()); }

void pclxl_begin_page(int32_t, int32_t, const char *duplex_mode, const char *media_size_pclxl_str,
                      int32_t media_size_pclxl_code, const char *media_type_pclxl_str,
                      int32_t media_source_pclxl_id, uint16_t margin_x, uint16_t margin_y,
                      float custom_page_width, float custom_page_height) {
    core::begin_page(bind(),
                     core::PageSetup{duplex_mode, media_size_pclxl_str, media_size_pclxl_code,
                                     media_type_pclxl_str, media_source_pclxl_id, margin_x,
                                     margin_y, custom_page_width, custom_page_height});
}

void pclxl_end_page(bool collate, uint16_t copies) { core::end_page(bind(), collate, copies); }

// ---- Raster images ----

int pclxl_write_bitmap_data(int32_t color_mapping, unsigned char *data, int32_t width,
                            int32_t height, int32_t stride, int32_t bits_per_pixel, int16_t x,
                            int16_t y, uint16_t dest_width, uint16_t dest_height) {
    return core::write_bitmap_data(bind(), color_mapping, data, width, height, stride,
                                   bits_per_pixel, x, y, dest_width, dest_height);
}

int pclxl_write_pixels(int32_t format, const unsigned char *data, int32_t width, int32_t height,
                       int32_t stride, int16_t x, int16_t y, uint16_t dest_width,
                       uint16_t dest_height) {
    return core::write_pixels(bind(), format, data, width, height, stride, x, y, dest_width,
                              dest_height);
}

int pclxl_begin_image(int color_mapping, short x, short y, unsigned short dest_width,
                      unsigned short dest_height, unsigned short source_width,
                      unsigned short source_height) {
    core::begin_image(bind(), color_mapping, x, y, dest_width, dest_height, source_width,
                      source_height);
    return 1;
}

int pclxl_read_image(unsigned short start_line, unsigned short block_height,
                     unsigned char compress_mode, unsigned int data_length) {
    return core::read_image(bind(), start_line, block_height, compress_mode, data_length);
}

int pclxl_write_embed_data(void *data, unsigned int length) {
    return core::write_embed_data(bind(), data, length);
}

int pclxl_end_image(void) {
    core::end_image(bind());
    return 1;
}

// ---- Graphics state and clipping ----

void pclxl_set_rop3(int rop) { core::ubyte_command(bind(), rop, attr::ROP3, op::SetROP); }
void pclxl_addRGBColor(int color) { core::add_rgb_color(bind(), color); }
void pclxl_addGrayAttr(unsigned char gray) {
    core::add_attribute(bind(), gray, attr::GrayLevel, code::UByte);
}
void pclxl_set_pen_source(void) { core::set_operator(bind(), op::SetPenSource); }
void pclxl_set_brush_source(void) { core::set_operator(bind(), op::SetBrushSource); }
void pclxl_set_pen_source_null(void) {
    core::ubyte_command(bind(), enums::kPresent, attr::NullPen, op::SetPenSource);
}
void pclxl_set_brush_source_null(void) {
    core::ubyte_command(bind(), enums::kPresent, attr::NullBrush, op::SetBrushSource);
}
void pclxl_set_fill_mode(int mode) {
    core::ubyte_command(bind(), mode, attr::FillMode, op::SetFillMode);
}
void pclxl_set_pen_width(int width) {
    core::ubyte_command(bind(), width, attr::PenWidth, op::SetPenWidth);
}
void pclxl_set_line_cap_style(int cap) {
    core::ubyte_command(bind(), cap, attr::LineCapStyle, op::SetLineCap);
}
void pclxl_set_line_join_style(int join) {
    core::ubyte_command(bind(), join, attr::LineJoinStyle, op::SetLineJoin);
}
void pclxl_set_miter_limit(short limit) { core::set_miter_limit(bind(), limit); }
void pclxl_set_line_dash(const short *dashes, unsigned short count) {
    core::set_line_dash(bind(), dashes, count);
}
void pclxl_set_solid_line(void) {
    core::ubyte_command(bind(), enums::kPresent, attr::SolidLine, op::SetLineDash);
}
void pclxl_set_clip_replace(int region) {
    core::ubyte_command(bind(), region, attr::ClipRegion, op::SetClipReplace);
}
void pclxl_set_clip_intersect(int region) {
    core::ubyte_command(bind(), region, attr::ClipRegion, op::SetClipIntersect);
}
void pclxl_set_clip_to_page(void) { core::set_operator(bind(), op::SetClipToPage); }
void pclxl_set_clip_mode(int mode) {
    core::ubyte_command(bind(), mode, attr::ClipMode, op::SetClipMode);
}
void pclxl_set_color_space(int space) {
    core::ubyte_command(bind(), space, attr::ColorSpace, op::SetColorSpace);
}
void pclxl_set_color_space_with_palette(int space, int color1, int color2) {
    core::set_color_space_with_palette(bind(), space, color1, color2);
}

// ---- Paths ----

void pclxl_new_path(void) { core::set_operator(bind(), op::NewPath); }
void pclxl_close_sub_path(void) { core::set_operator(bind(), op::CloseSubPath); }
void pclxl_paint_path(void) { core::set_operator(bind(), op::PaintPath); }
void pclxl_assign_points_with_check(_point16 *point, int x, int y) {
    *point = core::clamped_point(x, y);
}
void pclxl_set_cursorXY(int x, int y) { core::set_cursor(bind(), x, y); }
void pclxl_end_path(short x, short y) { core::line_to(bind(), x, y); }
bool pclxl_add_polyLinePath16(const _point16 *points, unsigned int count, unsigned char op_code) {
    return core::add_poly_path16(bind(), points, count, op_code);
}
void pclxl_curve_bezier(const _point16 *c1, const _point16 *c2, const _point16 *end) {
    core::curve_bezier(bind(), *c1, *c2, *end);
}
void pclxl_add_rect16(const _point16 *rect) { core::add_rect16(bind(), rect); }
void pclxl_add_round_rect16(const _point16 *rect) { core::add_round_rect16(bind(), rect); }
void pclxl_arc16(const _point16 *arc) { core::arc16(bind(), arc); }
void pclxl_draw_path16(const _point16 *points, int n) { core::draw_path16(bind(), points, n); }
void pclxl_draw_poly_bezier16(int n, const _point16 *points) {
    core::draw_poly_bezier16(bind(), n, points);
}

// ---- Bitmap fonts and text ----

void pclxl_set_font_header_for_bitmap(const char *name, uint16_t font_number, uint16_t x_resolution,
                                      uint16_t y_resolution) {
    core::font_header(bind(), "pclxl_set_font_header_for_bitmap", name, font_number, x_resolution,
                      y_resolution);
}

int pclxl_set_char_for_bitmap(const char *name, int font_number, uint16_t char_code,
                              const unsigned char *bitmap, int length, int top, int left,
                              uint16_t width, uint16_t height) {
    return core::bitmap_char(bind(), "pclxl_set_char_for_bitmap", name, font_number, char_code,
                             bitmap, length, core::glyph_offset16(top), core::glyph_offset16(left),
                             width, height);
}

void pclxl_set_font_for_bitmap(const char *name, int font_number, float size) {
    core::select_font(bind(), "pclxl_set_font_for_bitmap", name, font_number, size,
                      font::kBitmapSymbolSet, font::kNameFlagsBitmap);
}

int pclxl_paint_text_for_bitmap(const uint16_t *codes, uint16_t count, const void *x_spacing,
                                uint16_t spacing_count, int) {
    return core::text_out(bind(), codes, count, x_spacing, spacing_count);
}

void pclxl_remove_font_for_bitmap(const char *name, uint16_t font_number) {
    core::remove_font(bind(), "pclxl_remove_font_for_bitmap", name, font_number,
                      font::kNameFlagsBitmap);
}

// ---- Graphics state and paths (1.1) ----

void pclxl_push_graphics_state(void) { core::set_operator(bind(), op::PushGS); }
void pclxl_pop_graphics_state(void) { core::set_operator(bind(), op::PopGS); }
void pclxl_set_pen_width16(uint16_t width) {
    core::smallest_unsigned_command(bind(), width, attr::PenWidth, op::SetPenWidth);
}
void pclxl_set_miter_length(uint16_t length) {
    core::smallest_unsigned_command(bind(), length, attr::MiterLength, op::SetMiterLimit);
}
void pclxl_set_source_tx_mode(int mode) {
    core::ubyte_command(bind(), mode, attr::TxMode, op::SetSourceTxMode);
}
void pclxl_set_paint_tx_mode(int mode) {
    core::ubyte_command(bind(), mode, attr::TxMode, op::SetPaintTxMode);
}
void pclxl_rectangle_path16(const _point16 *rect) { core::rectangle_path16(bind(), rect); }
void pclxl_ellipse_path16(const _point16 *box) { core::ellipse_path16(bind(), box); }
int pclxl_points_type(const _point16 *points, unsigned int count) {
    return core::points_type(points, count);
}
bool pclxl_add_path_points(unsigned char op_code, int type, const _point16 *points,
                           unsigned int count) {
    return core::add_path_points(bind(), op_code, type, points, count);
}

} // extern "C"
