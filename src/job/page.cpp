// Page framing: the page setup (orientation, duplex binding, media source,
// size and type), BeginPage, the page's default graphics state, and EndPage.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "job/media_tables.h"
#include "job/word_match.h"
#include "core.h"
#include "stream/put.h"
#include "stream/wire.h"

using namespace pclxl::wire;

namespace pclxl::core {
namespace {

constexpr size_t kSetupBlockSize = 1024;
// Fixed part of the setup block: MediaType header (4) and suffix (2), and the
// three opening operators (3).
constexpr size_t kSetupFixed = 9;
constexpr size_t kCustomSizePart = 11;
constexpr size_t kNamedSizePart = 6;

// Pixels at 600 dpi to tenths of a millimetre, rounded half up; kept within
// 16 bits so a wild size cannot overflow the conversion.
int pixels_to_tenths(float pixels) {
    double tenths = static_cast<double>(pixels) * 254.0 / 600.0 + 0.5;
    if (!(tenths > 0))
        return 0;
    return tenths >= 65536.0 ? 65535 : static_cast<int>(tenths);
}

bool is_custom_size(const char *name) { return std::strncmp(name, "CUSTOM", 4) == 0; }

unsigned char *put_text_array(unsigned char *p, const char *text, size_t length) {
    p = put8(p, tag::UByteArray);
    p = put8(p, tag::UInt16);
    p = put16le(p, static_cast<uint32_t>(length));
    std::memcpy(p, text, length);
    return p + length;
}

void write_default_graphics_state(Out out, uint16_t margin_x, uint16_t margin_y) {
    set_page_origin16(out, margin_x, margin_y);
    set_page_rotation(out, 0);
    add_attribute(out, enums::kRopSourceCopy, attr::ROP3, type_code::UByte);
    set_operator(out, op::SetROP);
    add_attribute(out, enums::eOpaque, attr::TxMode, type_code::UByte);
    set_operator(out, op::SetSourceTxMode);
    add_attribute(out, enums::eOpaque, attr::TxMode, type_code::UByte);
    set_operator(out, op::SetPaintTxMode);
    add_attribute(out, enums::kPresent, attr::NullPen, type_code::UByte);
    set_operator(out, op::SetPenSource);
    add_attribute(out, enums::kPresent, attr::NullBrush, type_code::UByte);
    set_operator(out, op::SetBrushSource);
    add_attribute(out, enums::eNonZeroWinding, attr::FillMode, type_code::UByte);
    set_operator(out, op::SetFillMode);
}

} // namespace

void set_page_origin16(Out out, unsigned short x, unsigned short y) {
    add_attribute_xy(out, x, y, attr::PageOrigin, type_code::SInt16XY);
    set_operator(out, op::SetPageOrigin);
}

void set_page_rotation(Out out, unsigned short angle) {
    add_attribute(out, angle, attr::PageAngle, type_code::SInt16);
    set_operator(out, op::SetPageRotation);
}

void set_page_scale(Out out) {
    // real32 1.0 is 0x3F800000, laid down most significant byte first here.
    unsigned char buf[12] = {tag::Real32XY,
                             0x3F,
                             0x80,
                             0x00,
                             0x00,
                             0x3F,
                             0x80,
                             0x00,
                             0x00,
                             tag::Attribute,
                             attr::PageScale,
                             op::SetPageScale};
    write_piece(out, buf, buf + sizeof buf);
}

void begin_page(Out out, const PageSetup &page) {
    const char *duplex_mode = page.duplex_mode;
    const char *media_size_pclxl_str = page.media_size_str;
    const int32_t media_size_pclxl_code = page.media_size_code;
    const char *media_type_pclxl_str = page.media_type_str;
    int32_t media_source_pclxl_id = page.media_source_id;
    const uint16_t margin_x = page.margin_x, margin_y = page.margin_y;
    say(out, "=> test %s\n", "pclxl_begin_page");

    const bool default_type = media_type_pclxl_str == nullptr || *media_type_pclxl_str == '\0';
    const char *media_type = default_type ? pclxl_media_type("plain") : media_type_pclxl_str;
    const bool custom = is_custom_size(media_size_pclxl_str);
    const bool named = !custom && media_size_pclxl_code < 0;
    const size_t type_len = std::strlen(media_type);
    const size_t name_len = named ? std::strlen(media_size_pclxl_str) : 0;
    if (type_len > 0xFFFF || name_len > 0xFFFF) {
        // Their array lengths are 16-bit: a longer text cannot be sent intact.
        say(out, "%s(): Fatal Error: media type or size name longer than 65535 bytes\n",
            "pclxl_begin_page");
        return;
    }

    // The setup block is one piece; it normally fits the fixed 1024 bytes,
    // and grows to fit long texts rather than cutting them. It is taken
    // before anything is written, so that a page without memory has no
    // beginning either.
    const size_t needed = kSetupFixed + type_len +
                          (custom  ? kCustomSizePart
                           : named ? kNamedSizePart + name_len
                                   : 0);
    unsigned char local[kSetupBlockSize] = {};
    std::unique_ptr<unsigned char[]> heap;
    unsigned char *block = local;
    if (needed > kSetupBlockSize) {
        heap.reset(new (std::nothrow) unsigned char[needed]);
        if (!heap) {
            say(out, "%s(): Fatal Error: out of memory for %zu bytes\n", "pclxl_begin_page",
                needed);
            return;
        }
        block = heap.get();
    }

    add_attribute(out, enums::ePortraitOrientation, attr::Orientation, type_code::UByte);
    if (!matches_word(duplex_mode, "simplex")) {
        add_attribute(out,
                      matches_word(duplex_mode, "duplex_short_edge")
                          ? enums::eDuplexHorizontalBinding
                          : enums::eDuplexVerticalBinding,
                      attr::DuplexPageMode, type_code::UByte);
    }
    if (media_source_pclxl_id < 0) {
        say(out, "Warning: media_source_pclxl_id less than 0.\n");
        media_source_pclxl_id = 0;
    }
    add_attribute(out, static_cast<unsigned>(media_source_pclxl_id), attr::MediaSource,
                  type_code::UByte);
    if (default_type)
        say(out, "Warning: media_type_pclxl_str is NULL or "
                 "strlen(media_type_pclxl_str) is 0.\n");

    unsigned char *p = put_attr(put_text_array(block, media_type, type_len), attr::MediaType);

    if (custom) {
        float width_px = page.custom_width + 2.0f * margin_x;
        float height_px = page.custom_height + 2.0f * margin_y;
        int width = pixels_to_tenths(width_px), height = pixels_to_tenths(height_px);
        p = put16le(put16le(put8(p, tag::UInt16XY), width), height);
        p = put_attr(p, attr::CustomMediaSize);
        p = put8(put8(p, tag::UByte), enums::eTenthsOfAMillimeter);
        p = put_attr(p, attr::CustomMediaSizeUnits);
        say(out,
            "mediasize: custom, custom_page_width = %f, custom_page_height = %f, after "
            "PIXEL_TO_MM100: width = %d, height = %d\n",
            static_cast<double>(width_px), static_cast<double>(height_px), width, height);
    } else {
        if (named) {
            p = put_attr(put_text_array(p, media_size_pclxl_str, name_len), attr::MediaSize);
        } else {
            // The code goes straight to the sink, ahead of the block.
            add_attribute(out, static_cast<unsigned>(media_size_pclxl_code), attr::MediaSize,
                          type_code::UByte);
        }
        say(out, "media_size_pclxl_str:%s, media_size_pclxl_code = %d\n", media_size_pclxl_str,
            media_size_pclxl_code);
    }
    p = put8(put8(put8(p, op::BeginPage), op::PushGS), op::SetPageDefaultCTM);
    write_piece(out, block, p);

    write_default_graphics_state(out, margin_x, margin_y);
    say(out, "<= %s\n", "pclxl_begin_page");
}

void end_page(Out out, bool collate, uint16_t copies) {
    say(out, "=> %s\n", "pclxl_end_page");
    add_attribute(out, collate ? 1u : copies, attr::PageCopies, type_code::UInt16);
    set_operator(out, op::EndPage);
    say(out, "<= %s\n", "pclxl_end_page");
}

} // namespace pclxl::core
