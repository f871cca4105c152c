// Bitmap fonts and text: downloading a font header and its glyphs, selecting
// the font and painting runs of character codes with it. The library keeps
// no font table; every command names its font again by the FontName built
// from the host's name and font number.
#include <cstdio>
#include <cstring>

#include "stream/output.h"
#include "pclxl.hpp"
#include "stream/put.h"
#include "stream/wire.h"
#include "text/font_format.h"

using namespace pclxl;
namespace tag = pclxl::wire::tag;
namespace attr = pclxl::wire::attr;
namespace op = pclxl::wire::op;
namespace code = pclxl::wire::type_code;

namespace {

// _pclxl_add_code flags: a wide (16-bit) value without its data-type tag or
// CharCode suffix, as the elements of a uint16 array are written.
constexpr unsigned kCodeTyped = 1;
constexpr unsigned kCodeWide = 2;
constexpr unsigned kCodeBare = 4;

// The FontName attribute as one finished piece: C8 C0 n, the text, F8 A8.
struct FontNameAttr {
    unsigned char buf[font::kNameBuffer];
    unsigned char *end;
    int text_length;
};

// Builds the FontName attribute. A text longer than the buffer allows is
// refused as a whole (a cut name could address another font): one error
// line for `operation`, and false so that the caller writes nothing.
bool build_font_name(FontNameAttr &out, const char *operation, const char *name, int font_number,
                     int name_flags) {
    char prefix[32];
    int prefix_length = 0;
    if (name_flags & font::kNameNumber) {
        long long number = static_cast<long long>(font_number) - font::kFontNumberBias;
        prefix_length = std::snprintf(prefix, sizeof prefix, "%lld%s", number,
                                      (name_flags & font::kNameBitmap) ? "BM" : "TT");
    }
    // Read no further than the limit: the name's full length is not needed.
    std::size_t limit = font::kMaxNameText - static_cast<std::size_t>(prefix_length);
    std::size_t name_length = strnlen(name, limit + 1);
    if (name_length > limit) {
        pclxl::say("%s(): Fatal Error: FontName text is longer than %zu bytes.\n", operation,
                   font::kMaxNameText);
        return false;
    }
    std::size_t text_length = static_cast<std::size_t>(prefix_length) + name_length;
    unsigned char *p = put8(put8(put8(out.buf, tag::UByteArray), tag::UByte), text_length);
    std::memcpy(p, prefix, static_cast<std::size_t>(prefix_length));
    p += prefix_length;
    std::memcpy(p, name, name_length);
    p += name_length;
    out.end = put_attr(p, attr::FontName);
    out.text_length = static_cast<int>(text_length);
    return true;
}

void write_font_name(const FontNameAttr &name) { write_piece(name.buf, name.end); }

void font_header(const char *operation, const char *name, unsigned short font_number,
                 unsigned short x_resolution, unsigned short y_resolution) {
    FontNameAttr font_name;
    if (!build_font_name(font_name, operation, name, font_number, font::kNameFlagsBitmap))
        return;
    write_font_name(font_name);
    _pclxl_add_attribute(wire::enums::kFontFormat0, attr::FontFormat, code::UByte);
    _pclxl_set_operator(op::BeginFontHeader);

    // First block: the header proper and the bitmap-resolution segment.
    constexpr unsigned first_block = font::kHeaderProperSize + font::kBitmapResolutionSegment;
    _pclxl_add_attribute(first_block, attr::FontHeaderLength, code::UInt16);
    _pclxl_set_operator(op::ReadFontHeader);
    _pclxl_add_embedFlag(first_block);

    unsigned char header[font::kHeaderProperSize];
    unsigned char *p = put8(header, font::kHeaderFormat);
    p = put8(p, font::kPortrait);
    p = put16be(p, font::kSymbolSetMapping);
    p = put8(p, font::kScalingBitmap);
    p = put8(p, font::kVariety);
    p = put16be(p, font::kNumberOfChars);
    write_piece(header, p);

    unsigned char segment[font::kBitmapResolutionSegment];
    p = put16be(segment, font::kSegmentBitmapResolution);
    p = put32be(p, font::kBitmapResolutionSize);
    p = put16be(p, x_resolution);
    p = put16be(p, y_resolution);
    write_piece(segment, p);

    // Second block: the null segment that ends the header, sent together
    // with its length prefix and EndFontHeader.
    _pclxl_add_attribute(font::kNullSegment, attr::FontHeaderLength, code::UInt16);
    _pclxl_set_operator(op::ReadFontHeader);
    unsigned char tail[2 + font::kNullSegment + 1];
    p = put8(put8(tail, tag::DataLengthByte), font::kNullSegment);
    p = put16be(p, font::kSegmentNull);
    p = put32be(p, 0);
    p = put8(p, op::EndFontHeader);
    write_piece(tail, p);
}

int bitmap_char(const char *operation, const char *name, int font_number, unsigned short char_code,
                unsigned char *bitmap, int length, unsigned short top, unsigned short left,
                unsigned short width, unsigned short height) {
    if (length < 0) {
        pclxl::say("%s(): Fatal Error: bitmap length %d is negative.\n", operation, length);
        return 1;
    }
    FontNameAttr font_name;
    if (!build_font_name(font_name, operation, name, font_number, font::kNameFlagsBitmap))
        return 1;
    write_font_name(font_name);
    _pclxl_set_operator(op::BeginChar);
    _pclxl_add_code(char_code, kCodeTyped | kCodeWide);

    // The character data is the 10-byte header followed by the bitmap.
    uint32_t data_size = static_cast<uint32_t>(length) + font::kCharHeaderSize;
    _pclxl_add_attribute(data_size, attr::CharDataSize,
                         data_size < 0x10000 ? code::UInt16 : code::UInt32);
    _pclxl_set_operator(op::ReadChar);
    _pclxl_add_embedFlag(data_size);

    unsigned char header[font::kCharHeaderSize];
    unsigned char *p = put8(header, font::kCharFormat);
    p = put8(p, font::kCharClassBitmap);
    p = put16be(p, left);
    p = put16be(p, top);
    p = put16be(p, width);
    p = put16be(p, height);
    write_piece(header, p);

    _dev_write(bitmap, static_cast<unsigned int>(length));
    _pclxl_set_operator(op::EndChar);
    return 1;
}

void select_font(const char *operation, const char *name, int font_number, float size,
                 int symbol_set, int name_flags) {
    FontNameAttr font_name;
    if (!build_font_name(font_name, operation, name, font_number, name_flags))
        return;
    write_font_name(font_name);
    if (size < 0) // NaN and -0.0 compare false and stay as they are
        size = -size;
    uint32_t bits;
    static_assert(sizeof bits == sizeof size, "real32 is a 32-bit float");
    std::memcpy(&bits, &size, sizeof bits);

    // CharSize goes out most significant byte first. Interpreters ignore it
    // for bitmap fonts, whose scale comes from the BR resolution.
    unsigned char buf[13];
    unsigned char *p = put32be(put8(buf, tag::Real32), bits);
    p = put_attr(p, attr::CharSize);
    p = put16le(put8(p, tag::UInt16), static_cast<uint32_t>(symbol_set));
    p = put_attr(p, attr::SymbolSet);
    p = put8(p, op::SetFont);
    write_piece(buf, p);
}

void remove_font(const char *operation, const char *name, int font_number, int name_flags) {
    FontNameAttr font_name;
    if (!build_font_name(font_name, operation, name, font_number, name_flags))
        return;
    write_font_name(font_name);
    _pclxl_set_operator(op::RemoveFont);
}

// Glyph offsets are signed 16-bit in the character header. Offsets below
// the type's range stick at its lowest value; the rest keep their low bits.
unsigned short offset16(int value) {
    if (value < -32768)
        value = -32768;
    return static_cast<unsigned short>(value);
}

} // namespace

int _pclxl_addFontName(char const *name, int font_number, int name_flags) {
    FontNameAttr font_name;
    if (!build_font_name(font_name, "_pclxl_addFontName", name, font_number, name_flags))
        return -1;
    write_font_name(font_name);
    return font_name.text_length;
}

void _pclxl_text_set_bitmap_font_header(char const *name, unsigned short font_number,
                                        unsigned short x_resolution, unsigned short y_resolution) {
    font_header("_pclxl_text_set_bitmap_font_header", name, font_number, x_resolution,
                y_resolution);
}

int _pclxl_text_set_bitmap_char(char const *name, int font_number, unsigned short code,
                                unsigned char *bitmap, int length, unsigned short top,
                                unsigned short left, unsigned short width, unsigned short height) {
    return bitmap_char("_pclxl_text_set_bitmap_char", name, font_number, code, bitmap, length, top,
                       left, width, height);
}

void _pclxl_text_set_font(char const *name, int font_number, float size, int symbol_set,
                          int name_flags) {
    select_font("_pclxl_text_set_font", name, font_number, size, symbol_set, name_flags);
}

void _pclxl_text_set_bitmap_textData(unsigned short *codes, unsigned short count) {
    _pclxl_add_arrayHeader16(tag::UInt16Array, count);
    // One piece per code: the codes stay in the host's buffer, whatever its
    // byte order, and each goes out least significant byte first.
    for (unsigned i = 0; i < count; ++i)
        _pclxl_add_code(codes[i], kCodeWide | kCodeBare);
    unsigned char suffix[2];
    write_piece(suffix, put_attr(suffix, attr::TextData));
}

int _pclxl_text_set_bitmap_textOut(unsigned short *codes, unsigned short count, short *x_spacing,
                                   unsigned short spacing_count, int) {
    _pclxl_text_set_bitmap_textData(codes, count);
    // The advances are one byte each, whatever the declared element type.
    if (x_spacing != nullptr)
        WriteXLArray(spacing_count, reinterpret_cast<unsigned char *>(x_spacing), true,
                     attr::XSpacingData);
    _pclxl_set_operator(op::Text);
    return 1;
}

void _pclxl_text_remove_font(char const *name, int font_number, int name_flags) {
    remove_font("_pclxl_text_remove_font", name, font_number, name_flags);
}

extern "C" {

void pclxl_set_font_header_for_bitmap(const char *name, uint16_t font_number, uint16_t x_resolution,
                                      uint16_t y_resolution) {
    font_header("pclxl_set_font_header_for_bitmap", name, font_number, x_resolution, y_resolution);
}

int pclxl_set_char_for_bitmap(const char *name, int font_number, uint16_t char_code,
                              const unsigned char *bitmap, int length, int top, int left,
                              uint16_t width, uint16_t height) {
    return bitmap_char("pclxl_set_char_for_bitmap", name, font_number, char_code,
                       const_cast<unsigned char *>(bitmap), length, offset16(top), offset16(left),
                       width, height);
}

void pclxl_set_font_for_bitmap(const char *name, int font_number, float size) {
    select_font("pclxl_set_font_for_bitmap", name, font_number, size, font::kBitmapSymbolSet,
                font::kNameFlagsBitmap);
}

int pclxl_paint_text_for_bitmap(const uint16_t *codes, uint16_t count, const void *x_spacing,
                                uint16_t spacing_count, int unused) {
    return _pclxl_text_set_bitmap_textOut(const_cast<uint16_t *>(codes), count,
                                          static_cast<short *>(const_cast<void *>(x_spacing)),
                                          spacing_count, unused);
}

void pclxl_remove_font_for_bitmap(const char *name, uint16_t font_number) {
    remove_font("pclxl_remove_font_for_bitmap", name, font_number, font::kNameFlagsBitmap);
}

} // extern "C"
