// Graphics state and clipping: one PCL XL command per call (the colour
// attributes excepted, which the host completes with a source operator).
// The printer holds the state; values are forwarded, cut to their wire type.
#include "pclxl.hpp"
#include "stream/put.h"
#include "stream/wire.h"

using namespace pclxl;
namespace attr = pclxl::wire::attr;
namespace op = pclxl::wire::op;
namespace tag = pclxl::wire::tag;
namespace code = pclxl::wire::type_code;
namespace enums = pclxl::wire::enums;

namespace {

// A ubyte attribute followed by its operator: C0 v F8 id op, two pieces.
void ubyte_command(int value, unsigned char id, unsigned char op_code) {
    _pclxl_add_attribute(static_cast<unsigned>(value), id, code::UByte);
    _pclxl_set_operator(op_code);
}

// Colour 0x00RRGGBB; the top byte is ignored.
unsigned char red(int color) { return static_cast<unsigned char>(color >> 16); }
unsigned char green(int color) { return static_cast<unsigned char>(color >> 8); }
unsigned char blue(int color) { return static_cast<unsigned char>(color); }

unsigned char gray_of(int color) {
    return static_cast<unsigned char>((red(color) * 30u + green(color) * 59u + blue(color) * 11u) /
                                      100u);
}

// A ubyte_array attribute with a 16-bit length, built as one piece.
void ubyte_array_attribute(const unsigned char *values, unsigned count, unsigned char id) {
    unsigned char buf[16] = {};
    unsigned char *p = put16le(put8(put8(buf, tag::UByteArray), tag::UInt16), count);
    for (unsigned i = 0; i < count; ++i)
        p = put8(p, values[i]);
    write_piece(buf, put_attr(p, id));
}

} // namespace

void _pclxl_set_clipRectangle16(_rect16 *rect) {
    // _rect16 is laid out as two consecutive points, as the box encoder reads.
    _pclxl_add_boundingBox16(reinterpret_cast<_point16 *>(rect));
    _pclxl_add_attribute(enums::eInterior, attr::ClipRegion, code::UByte);
    _pclxl_set_operator(op::SetClipRectangle);
}

extern "C" {

void pclxl_set_rop3(int rop) { ubyte_command(rop, attr::ROP3, op::SetROP); }

void pclxl_addRGBColor(int color) {
    const unsigned char rgb[3] = {red(color), green(color), blue(color)};
    ubyte_array_attribute(rgb, 3, attr::RGBColor);
}

void pclxl_addGrayAttr(unsigned char gray) {
    _pclxl_add_attribute(gray, attr::GrayLevel, code::UByte);
}

void pclxl_set_pen_source(void) { _pclxl_set_operator(op::SetPenSource); }
void pclxl_set_brush_source(void) { _pclxl_set_operator(op::SetBrushSource); }

void pclxl_set_pen_source_null(void) {
    ubyte_command(enums::kPresent, attr::NullPen, op::SetPenSource);
}

void pclxl_set_brush_source_null(void) {
    ubyte_command(enums::kPresent, attr::NullBrush, op::SetBrushSource);
}

void pclxl_set_fill_mode(int mode) { ubyte_command(mode, attr::FillMode, op::SetFillMode); }
void pclxl_set_pen_width(int width) { ubyte_command(width, attr::PenWidth, op::SetPenWidth); }
void pclxl_set_line_cap_style(int cap) { ubyte_command(cap, attr::LineCapStyle, op::SetLineCap); }

void pclxl_set_line_join_style(int join) {
    ubyte_command(join, attr::LineJoinStyle, op::SetLineJoin);
}

void pclxl_set_miter_limit(short limit) {
    _pclxl_add_attribute(static_cast<unsigned short>(limit), attr::MiterLength, code::SInt16);
    _pclxl_set_operator(op::SetMiterLimit);
}

void pclxl_set_line_dash(const short *dashes, unsigned short count) {
    _pclxl_add_arrayHeader16(tag::SInt16Array, count);
    // The caller's lengths go out as they lie in memory (already low byte
    // first); the byte count is not cut to 16 bits.
    _dev_write(const_cast<short *>(dashes), 2u * count);
    unsigned char suffix[2];
    write_piece(suffix, put_attr(suffix, attr::LineDashStyle));
    _pclxl_set_operator(op::SetLineDash);
}

void pclxl_set_solid_line(void) {
    ubyte_command(enums::kPresent, attr::SolidLine, op::SetLineDash);
}

void pclxl_set_clip_replace(int region) {
    ubyte_command(region, attr::ClipRegion, op::SetClipReplace);
}

void pclxl_set_clip_intersect(int region) {
    ubyte_command(region, attr::ClipRegion, op::SetClipIntersect);
}

void pclxl_set_clip_to_page(void) { _pclxl_set_operator(op::SetClipToPage); }
void pclxl_set_clip_mode(int mode) { ubyte_command(mode, attr::ClipMode, op::SetClipMode); }

void pclxl_set_color_space(int space) { ubyte_command(space, attr::ColorSpace, op::SetColorSpace); }

void pclxl_set_color_space_with_palette(int space, int color1, int color2) {
    if (space != enums::eGray && space != enums::eRGB)
        return;
    _pclxl_add_attribute(static_cast<unsigned>(space), attr::ColorSpace, code::UByte);
    _pclxl_add_attribute(enums::e8Bit, attr::PaletteDepth, code::UByte);
    if (space == enums::eGray) {
        const unsigned char grays[2] = {gray_of(color1), gray_of(color2)};
        ubyte_array_attribute(grays, 2, attr::PaletteData);
    } else {
        const unsigned char rgb[6] = {red(color1), green(color1), blue(color1),
                                      red(color2), green(color2), blue(color2)};
        ubyte_array_attribute(rgb, 6, attr::PaletteData);
    }
    _pclxl_set_operator(op::SetColorSpace);
}

} // extern "C"
