// The C++-linkage encoders of pclxl.hpp: thin wrappers over the core, for
// hosts that build commands of their own.
#include "core.h"
#include "pclxl.hpp"

using namespace pclxl;
using core::bind;

int _dev_write_init(void const *context, pclxl_write_fn callback) {
    gDataOut = callback;
    g_data_out_ctx = context;
    return 1;
}
bool _dev_write(void *buffer, unsigned int length) { return core::write(bind(), buffer, length); }
void _dev_write_flush() {}
void _dev_write_exit() {}

void _pclxl_set_operator(unsigned char op) { core::set_operator(bind(), op); }
void _pclxl_add_attribute(unsigned int value, unsigned char id, unsigned short type_code) {
    core::add_attribute(bind(), value, id, type_code);
}
void _pclxl_add_attributeXY(unsigned int x, unsigned int y, unsigned char id,
                            unsigned short type_code) {
    core::add_attribute_xy(bind(), x, y, id, type_code);
}
void _pclxl_add_point16(_point16 *point, unsigned char id) {
    core::add_point16(bind(), *point, id);
}
void _pclxl_add_boundingBox16(_point16 *first_of_two) {
    core::add_bounding_box16(bind(), first_of_two);
}
void _pclxl_add_arrayHeader(unsigned char array_tag, unsigned short count) {
    core::add_array_header(bind(), array_tag, count);
}
void _pclxl_add_arrayHeader16(unsigned char array_tag, unsigned short count) {
    core::add_array_header16(bind(), array_tag, count);
}
void _pclxl_add_embedFlag(unsigned int length) { core::add_embed_flag(bind(), length); }
void _pclxl_add_code(unsigned short code, unsigned int flags) {
    core::add_code(bind(), code, flags);
}
void WriteXLArray(long count, unsigned char *data, bool byte_elements, unsigned char id) {
    core::write_xl_array(bind(), count, data, byte_elements, id);
}

void _pclxl_set_pageOrigin16(unsigned short x, unsigned short y) {
    core::set_page_origin16(bind(), x, y);
}
void _pclxl_set_pageRotation(unsigned short angle) { core::set_page_rotation(bind(), angle); }
void _pclxl_set_pageScale() { core::set_page_scale(bind()); }

int DeltaOneLine(unsigned char *out, unsigned char *row, unsigned long length,
                 unsigned char *seed) {
    return core::delta_row(out, row, length, seed);
}
unsigned char *SetM3Copy(unsigned char *out, unsigned short count, unsigned char *src,
                         unsigned short offset) {
    return core::delta_row_command(out, count, src, offset);
}

void _pclxl_set_clipRectangle16(_rect16 *rect) { core::set_clip_rectangle16(bind(), *rect); }

int _pclxl_addFontName(char const *name, int font_number, int name_flags) {
    return core::add_font_name(bind(), "_pclxl_addFontName", name, font_number, name_flags);
}
void _pclxl_text_set_bitmap_font_header(char const *name, unsigned short font_number,
                                        unsigned short x_resolution, unsigned short y_resolution) {
    core::font_header(bind(), "_pclxl_text_set_bitmap_font_header", name, font_number, x_resolution,
                      y_resolution);
}
int _pclxl_text_set_bitmap_char(char const *name, int font_number, unsigned short code,
                                unsigned char *bitmap, int length, unsigned short top,
                                unsigned short left, unsigned short width, unsigned short height) {
    return core::bitmap_char(bind(), "_pclxl_text_set_bitmap_char", name, font_number, code, bitmap,
                             length, top, left, width, height);
}
void _pclxl_text_set_font(char const *name, int font_number, float size, int symbol_set,
                          int name_flags) {
    core::select_font(bind(), "_pclxl_text_set_font", name, font_number, size, symbol_set,
                      name_flags);
}
void _pclxl_text_set_bitmap_textData(unsigned short *codes, unsigned short count) {
    core::text_data(bind(), codes, count);
}
int _pclxl_text_set_bitmap_textOut(unsigned short *codes, unsigned short count, short *x_spacing,
                                   unsigned short spacing_count, int) {
    return core::text_out(bind(), codes, count, x_spacing, spacing_count);
}
void _pclxl_text_remove_font(char const *name, int font_number, int name_flags) {
    core::remove_font(bind(), "_pclxl_text_remove_font", name, font_number, name_flags);
}
