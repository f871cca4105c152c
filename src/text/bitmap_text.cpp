// Bitmap fonts and text: downloading a font header and its glyphs, selecting
// the font and painting runs of character codes with it. The library keeps
// no font table; every command names its font again by the FontName built
// from the host's name and font number.
#include <cstdio>
#include <cstring>

#include "core.h"
#include "stream/put.h"
#include "stream/wire.h"
#include "text/font_format.h"

namespace tag = pclxl::wire::tag;
namespace attr = pclxl::wire::attr;
namespace op = pclxl::wire::op;
namespace code = pclxl::wire::type_code;

namespace pclxl::core {
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
bool build_font_name(Out sink, FontNameAttr &out, const char *operation, const char *name,
                     int font_number, int name_flags) {
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
        say(sink, "%s(): Fatal Error: FontName text is longer than %zu bytes.\n", operation,
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

void write_font_name(Out out, const FontNameAttr &name) { write_piece(out, name.buf, name.end); }

} // namespace

void font_header(Out out, const char *operation, const char *name, unsigned short font_number,
                 unsigned short x_resolution, unsigned short y_resolution) {
    FontNameAttr font_name;
    if (!build_font_name(out, font_name, operation, name, font_number, font::kNameFlagsBitmap))
        return;
    write_font_name(out, font_name);
    add_attribute(out, wire::enums::kFontFormat0, attr::FontFormat, code::UByte);
    set_operator(out, op::BeginFontHeader);

    // First block: the header proper and the bitmap-resolution segment.
    constexpr unsigned first_block = font::kHeaderProperSize + font::kBitmapResolutionSegment;
    add_attribute(out, first_block, attr::FontHeaderLength, code::UInt16);
    set_operator(out, op::ReadFontHeader);
    add_embed_flag(out, first_block);

    unsigned char header[font::kHeaderProperSize];
    unsigned char *p = put8(header, font::kHeaderFormat);
    p = put8(p, font::kPortrait);
    p = put16be(p, font::kSymbolSetMapping);
    p = put8(p, font::kScalingBitmap);
    p = put8(p, font::kVariety);
    p = put16be(p, font::kNumberOfChars);
    write_piece(out, header, p);

    unsigned char segment[font::kBitmapResolutionSegment];
    p = put16be(segment, font::kSegmentBitmapResolution);
    p = put32be(p, font::kBitmapResolutionSize);
    p = put16be(p, x_resolution);
    p = put16be(p, y_resolution);
    write_piece(out, segment, p);

    // Second block: the null segment that ends the header, sent together
    // with its length prefix and EndFontHeader.
    add_attribute(out, font::kNullSegment, attr::FontHeaderLength, code::UInt16);
    set_operator(out, op::ReadFontHeader);
    unsigned char tail[2 + font::kNullSegment + 1];
    p = put8(put8(tail, tag::DataLengthByte), font::kNullSegment);
    p = put16be(p, font::kSegmentNull);
    p = put32be(p, 0);
    p = put8(p, op::EndFontHeader);
    write_piece(out, tail, p);
}

int bitmap_char(Out out, const char *operation, const char *name, int font_number,
                unsigned short char_code, const unsigned char *bitmap, int length,
                unsigned short top, unsigned short left, unsigned short width,
                unsigned short height) {
    if (length < 0) {
        say(out, "%s(): Fatal Error: bitmap length %d is negative.\n", operation, length);
        return 1;
    }
    FontNameAttr font_name;
    if (!build_font_name(out, font_name, operation, name, font_number, font::kNameFlagsBitmap))
        return 1;
    write_font_name(out, font_name);
    set_operator(out, op::BeginChar);
    add_code(out, char_code, kCodeTyped | kCodeWide);

    // The character data is the 10-byte header followed by the bitmap.
    uint32_t data_size = static_cast<uint32_t>(length) + font::kCharHeaderSize;
    add_attribute(out, data_size, attr::CharDataSize,
                  data_size < 0x10000 ? code::UInt16 : code::UInt32);
    set_operator(out, op::ReadChar);
    add_embed_flag(out, data_size);

    unsigned char header[font::kCharHeaderSize];
    unsigned char *p = put8(header, font::kCharFormat);
    p = put8(p, font::kCharClassBitmap);
    p = put16be(p, left);
    p = put16be(p, top);
    p = put16be(p, width);
    p = put16be(p, height);
    write_piece(out, header, p);

    write(out, bitmap, static_cast<unsigned int>(length));
    set_operator(out, op::EndChar);
    return 1;
}

void select_font(Out out, const char *operation, const char *name, int font_number, float size,
                 int symbol_set, int name_flags) {
    FontNameAttr font_name;
    if (!build_font_name(out, font_name, operation, name, font_number, name_flags))
        return;
    write_font_name(out, font_name);
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
    write_piece(out, buf, p);
}

void remove_font(Out out, const char *operation, const char *name, int font_number,
                 int name_flags) {
    FontNameAttr font_name;
    if (!build_font_name(out, font_name, operation, name, font_number, name_flags))
        return;
    write_font_name(out, font_name);
    set_operator(out, op::RemoveFont);
}

// Glyph offsets are signed 16-bit in the character header. Offsets below
// the type's range stick at its lowest value; the rest keep their low bits.
unsigned short glyph_offset16(int value) {
    if (value < -32768)
        value = -32768;
    return static_cast<unsigned short>(value);
}

int add_font_name(Out out, const char *function, const char *name, int font_number,
                  int name_flags) {
    FontNameAttr font_name;
    if (!build_font_name(out, font_name, function, name, font_number, name_flags))
        return -1;
    write_font_name(out, font_name);
    return font_name.text_length;
}

void text_data(Out out, const unsigned short *codes, unsigned short count) {
    add_array_header16(out, tag::UInt16Array, count);
    // One piece per code: the codes stay in the host's buffer, whatever its
    // byte order, and each goes out least significant byte first.
    for (unsigned i = 0; i < count; ++i)
        add_code(out, codes[i], kCodeWide | kCodeBare);
    unsigned char suffix[2];
    write_piece(out, suffix, put_attr(suffix, attr::TextData));
}

int text_out(Out out, const unsigned short *codes, unsigned short count, const void *x_spacing,
             unsigned short spacing_count) {
    text_data(out, codes, count);
    // The advances are one byte each, whatever the declared element type.
    if (x_spacing != nullptr)
        write_xl_array(out, spacing_count, static_cast<const unsigned char *>(x_spacing), true,
                       attr::XSpacingData);
    set_operator(out, op::Text);
    return 1;
}

} // namespace pclxl::core
