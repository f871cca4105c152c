// Graphics state and clipping: one PCL XL command per call (the colour
// attributes excepted, which the host completes with a source operator).
// The printer holds the state; values are forwarded, cut to their wire type.
#include "core.h"
#include "stream/put.h"
#include "stream/wire.h"

namespace attr = pclxl::wire::attr;
namespace op = pclxl::wire::op;
namespace tag = pclxl::wire::tag;
namespace code = pclxl::wire::type_code;
namespace enums = pclxl::wire::enums;

namespace pclxl::core {
namespace {

// Colour 0x00RRGGBB; the top byte is ignored.
unsigned char red(int color) { return static_cast<unsigned char>(color >> 16); }
unsigned char green(int color) { return static_cast<unsigned char>(color >> 8); }
unsigned char blue(int color) { return static_cast<unsigned char>(color); }

unsigned char gray_of(int color) {
    return static_cast<unsigned char>((red(color) * 30u + green(color) * 59u + blue(color) * 11u) /
                                      100u);
}

// A ubyte_array attribute with a 16-bit length, built as one piece.
void ubyte_array_attribute(Out out, const unsigned char *values, unsigned count, unsigned char id) {
    unsigned char buf[16] = {};
    unsigned char *p = put16le(put8(put8(buf, tag::UByteArray), tag::UInt16), count);
    for (unsigned i = 0; i < count; ++i)
        p = put8(p, values[i]);
    write_piece(out, buf, put_attr(p, id));
}

} // namespace

void ubyte_command(Out out, int value, unsigned char id, unsigned char op_code) {
    add_attribute(out, static_cast<unsigned>(value), id, code::UByte);
    set_operator(out, op_code);
}

void add_rgb_color(Out out, int color) {
    const unsigned char rgb[3] = {red(color), green(color), blue(color)};
    ubyte_array_attribute(out, rgb, 3, attr::RGBColor);
}

void set_miter_limit(Out out, short limit) {
    add_attribute(out, static_cast<unsigned short>(limit), attr::MiterLength, code::SInt16);
    set_operator(out, op::SetMiterLimit);
}

void smallest_unsigned_command(Out out, uint16_t value, unsigned char id, unsigned char op_code) {
    add_attribute(out, value, id, value <= 0xFF ? code::UByte : code::UInt16);
    set_operator(out, op_code);
}

void set_line_dash(Out out, const short *dashes, unsigned short count) {
    add_array_header16(out, tag::SInt16Array, count);
    // The caller's lengths go out as they lie in memory (already low byte
    // first); the byte count is not cut to 16 bits.
    write(out, dashes, 2u * count);
    unsigned char suffix[2];
    write_piece(out, suffix, put_attr(suffix, attr::LineDashStyle));
    set_operator(out, op::SetLineDash);
}

void set_color_space_with_palette(Out out, int space, int color1, int color2) {
    if (space != enums::eGray && space != enums::eRGB)
        return;
    add_attribute(out, static_cast<unsigned>(space), attr::ColorSpace, code::UByte);
    add_attribute(out, enums::e8Bit, attr::PaletteDepth, code::UByte);
    if (space == enums::eGray) {
        const unsigned char grays[2] = {gray_of(color1), gray_of(color2)};
        ubyte_array_attribute(out, grays, 2, attr::PaletteData);
    } else {
        const unsigned char rgb[6] = {red(color1), green(color1), blue(color1),
                                      red(color2), green(color2), blue(color2)};
        ubyte_array_attribute(out, rgb, 6, attr::PaletteData);
    }
    set_operator(out, op::SetColorSpace);
}

void set_clip_rectangle16(Out out, const _rect16 &rect) {
    // _rect16 is laid out as two consecutive points, as the box encoder reads.
    add_bounding_box16(out, reinterpret_cast<const _point16 *>(&rect));
    add_attribute(out, enums::eInterior, attr::ClipRegion, code::UByte);
    set_operator(out, op::SetClipRectangle);
}

} // namespace pclxl::core
