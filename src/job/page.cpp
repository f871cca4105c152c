// Page framing: the page setup (orientation, duplex binding, media source,
// size and type), BeginPage, the page's default graphics state, and EndPage.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "stream/output.h"
#include "job/media_tables.h"
#include "job/word_match.h"
#include "pclxl.hpp"
#include "stream/put.h"
#include "stream/wire.h"

using namespace pclxl;
using namespace pclxl::wire;

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

void write_default_graphics_state(uint16_t margin_x, uint16_t margin_y) {
    _pclxl_set_pageOrigin16(margin_x, margin_y);
    _pclxl_set_pageRotation(0);
    _pclxl_add_attribute(enums::kRopSourceCopy, attr::ROP3, type_code::UByte);
    _pclxl_set_operator(op::SetROP);
    _pclxl_add_attribute(enums::eOpaque, attr::TxMode, type_code::UByte);
    _pclxl_set_operator(op::SetSourceTxMode);
    _pclxl_add_attribute(enums::eOpaque, attr::TxMode, type_code::UByte);
    _pclxl_set_operator(op::SetPaintTxMode);
    _pclxl_add_attribute(enums::kPresent, attr::NullPen, type_code::UByte);
    _pclxl_set_operator(op::SetPenSource);
    _pclxl_add_attribute(enums::kPresent, attr::NullBrush, type_code::UByte);
    _pclxl_set_operator(op::SetBrushSource);
    _pclxl_add_attribute(enums::eNonZeroWinding, attr::FillMode, type_code::UByte);
    _pclxl_set_operator(op::SetFillMode);
}

} // namespace

void _pclxl_set_pageOrigin16(unsigned short x, unsigned short y) {
    _pclxl_add_attributeXY(x, y, attr::PageOrigin, type_code::SInt16XY);
    _pclxl_set_operator(op::SetPageOrigin);
}

void _pclxl_set_pageRotation(unsigned short angle) {
    _pclxl_add_attribute(angle, attr::PageAngle, type_code::SInt16);
    _pclxl_set_operator(op::SetPageRotation);
}

void _pclxl_set_pageScale() {
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
    write_piece(buf, buf + sizeof buf);
}

extern "C" {

void pclxl_begin_page(int32_t, int32_t, const char *duplex_mode, const char *media_size_pclxl_str,
                      int32_t media_size_pclxl_code, const char *media_type_pclxl_str,
                      int32_t media_source_pclxl_id, uint16_t margin_x, uint16_t margin_y,
                      float custom_page_width, float custom_page_height) {
    pclxl::say("=> test %s\n", "pclxl_begin_page");

    const bool default_type = media_type_pclxl_str == nullptr || *media_type_pclxl_str == '\0';
    const char *media_type =
        default_type ? lookup(pclxl_media_type_map, "plain") : media_type_pclxl_str;
    const bool custom = is_custom_size(media_size_pclxl_str);
    const bool named = !custom && media_size_pclxl_code < 0;
    const size_t type_len = std::strlen(media_type);
    const size_t name_len = named ? std::strlen(media_size_pclxl_str) : 0;
    if (type_len > 0xFFFF || name_len > 0xFFFF) {
        // Their array lengths are 16-bit: a longer text cannot be sent intact.
        pclxl::say("%s(): Fatal Error: media type or size name longer than 65535 bytes\n",
                   "pclxl_begin_page");
        return;
    }

    _pclxl_add_attribute(enums::ePortraitOrientation, attr::Orientation, type_code::UByte);
    if (!matches_word(duplex_mode, "simplex")) {
        _pclxl_add_attribute(matches_word(duplex_mode, "duplex_short_edge")
                                 ? enums::eDuplexHorizontalBinding
                                 : enums::eDuplexVerticalBinding,
                             attr::DuplexPageMode, type_code::UByte);
    }
    if (media_source_pclxl_id < 0) {
        pclxl::say("Warning: media_source_pclxl_id less than 0.\n");
        media_source_pclxl_id = 0;
    }
    _pclxl_add_attribute(static_cast<unsigned>(media_source_pclxl_id), attr::MediaSource,
                         type_code::UByte);
    if (default_type)
        pclxl::say("Warning: media_type_pclxl_str is NULL or "
                   "strlen(media_type_pclxl_str) is 0.\n");

    // The setup block is one piece; it normally fits the fixed 1024 bytes,
    // and grows to fit long texts rather than cutting them.
    const size_t needed = kSetupFixed + type_len +
                          (custom  ? kCustomSizePart
                           : named ? kNamedSizePart + name_len
                                   : 0);
    unsigned char local[kSetupBlockSize] = {};
    std::unique_ptr<unsigned char[]> heap;
    unsigned char *block = local;
    if (needed > kSetupBlockSize) {
        heap.reset(new unsigned char[needed]);
        block = heap.get();
    }
    unsigned char *p = put_attr(put_text_array(block, media_type, type_len), attr::MediaType);

    if (custom) {
        float width_px = custom_page_width + 2.0f * margin_x;
        float height_px = custom_page_height + 2.0f * margin_y;
        int width = pixels_to_tenths(width_px), height = pixels_to_tenths(height_px);
        p = put16le(put16le(put8(p, tag::UInt16XY), width), height);
        p = put_attr(p, attr::CustomMediaSize);
        p = put8(put8(p, tag::UByte), enums::eTenthsOfAMillimeter);
        p = put_attr(p, attr::CustomMediaSizeUnits);
        pclxl::say("mediasize: custom, custom_page_width = %f, custom_page_height = %f, after "
                   "PIXEL_TO_MM100: width = %d, height = %d\n",
                   static_cast<double>(width_px), static_cast<double>(height_px), width, height);
    } else {
        if (named) {
            p = put_attr(put_text_array(p, media_size_pclxl_str, name_len), attr::MediaSize);
        } else {
            // The code goes straight to the sink, ahead of the block.
            _pclxl_add_attribute(static_cast<unsigned>(media_size_pclxl_code), attr::MediaSize,
                                 type_code::UByte);
        }
        pclxl::say("media_size_pclxl_str:%s, media_size_pclxl_code = %d\n", media_size_pclxl_str,
                   media_size_pclxl_code);
    }
    p = put8(put8(put8(p, op::BeginPage), op::PushGS), op::SetPageDefaultCTM);
    write_piece(block, p);

    write_default_graphics_state(margin_x, margin_y);
    pclxl::say("<= %s\n", "pclxl_begin_page");
}

void pclxl_end_page(bool collate, uint16_t copies) {
    pclxl::say("=> %s\n", "pclxl_end_page");
    _pclxl_add_attribute(collate ? 1u : copies, attr::PageCopies, type_code::UInt16);
    _pclxl_set_operator(op::EndPage);
    pclxl::say("<= %s\n", "pclxl_end_page");
}

} // extern "C"
