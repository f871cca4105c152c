// Downloaded fonts as they travel in the data of ReadFontHeader and
// ReadChar. Both headers are big-endian whatever the stream's byte order.
//
// Font header (format 0): format, orientation, mapping (2 bytes), scaling
// technology (254 bitmap, 1 TrueType), variety, number of characters (2),
// then segments of a 2-byte id and a 4-byte size, ending with the null
// segment FF FF 00 00 00 00. Bitmap fonts carry their resolution in the BR
// segment (x and y, 2 bytes each).
//
// Bitmap character (format 0, class 0 or 1): format, class, left offset,
// top offset (signed), width, height (2 bytes each), then the rows of the
// glyph, each ceil(width / 8) bytes.
#ifndef PCLXL_READER_FONTS_H
#define PCLXL_READER_FONTS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace pclxl_reader {

// Reads a font header fed in pieces, across several ReadFontHeader blocks.
class FontHeaderParser {
  public:
    void feed(const uint8_t *data, size_t n, uint64_t offset);
    // Checks that the header ended with its null segment.
    void finish(uint64_t offset) const;

    int format() const { return head_[0]; }
    int technology() const { return head_[4]; }
    uint16_t x_resolution() const { return uint16_t(br_[0] << 8 | br_[1]); }
    uint16_t y_resolution() const { return uint16_t(br_[2] << 8 | br_[3]); }

  private:
    enum class State { Header, SegmentHead, SegmentBody, Done };
    State state_ = State::Header;
    uint8_t head_[8] = {};
    uint8_t segment_head_[6] = {};
    uint8_t br_[4] = {};
    unsigned fill_ = 0;
    uint16_t segment_id_ = 0;
    uint32_t segment_left_ = 0;
    unsigned br_fill_ = 0;
};

// Reads one character's data, fed in pieces.
class CharParser {
  public:
    explicit CharParser(uint32_t length) : length_(length) {}
    void feed(const uint8_t *data, size_t n);
    // Checks a bitmap character's size against its width and height and
    // returns a note for the listing ("bitmap 8x2 left -1 top 10").
    std::string finish(uint64_t data_offset, uint32_t char_code) const;

  private:
    uint32_t length_;
    uint8_t head_[10] = {};
    uint32_t fill_ = 0;
};

} // namespace pclxl_reader

#endif
