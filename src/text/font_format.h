// The downloaded bitmap font format: the fixed fields of a format-0 font
// header, its segments, and the character header in front of each glyph.
// Everything inside these headers is big-endian (most significant byte
// first), unlike the stream around them.
#ifndef PCLXL_TEXT_FONT_FORMAT_H
#define PCLXL_TEXT_FONT_FORMAT_H

#include <cstddef>

namespace pclxl::font {

// FontName text: "<number - 100>BM<name>" (or "TT" for outline fonts)
// followed by the host's name, built in one fixed buffer together with
// its array header (C8 C0 n) and attribute suffix (F8 A8).
constexpr std::size_t kMaxNameText = 75;
constexpr std::size_t kNameBuffer = 3 + kMaxNameText + 2;

// Name flags of the FontName builder.
constexpr int kNameBitmap = 1; // prefix ends in "BM" (else "TT")
constexpr int kNameNumber = 2; // prefix the name with the font number - 100
constexpr int kNameFlagsBitmap = kNameBitmap | kNameNumber;
constexpr int kFontNumberBias = 100;

// Font header proper (8 bytes): format, orientation, symbol-set mapping,
// scaling technology, variety, number of characters.
constexpr unsigned char kHeaderFormat = 0;
constexpr unsigned char kPortrait = 0;
constexpr unsigned kSymbolSetMapping = 2;
constexpr unsigned char kScalingBitmap = 254;
constexpr unsigned char kVariety = 0;
// The printer only needs an upper bound on the glyphs that will follow.
constexpr unsigned kNumberOfChars = 1000;
constexpr std::size_t kHeaderProperSize = 8;

// Segments follow the header proper: a 2-byte id, a 4-byte size, the data.
// "BR" carries the x and y resolution of the bitmaps; 0xFFFF with size 0
// ends the list.
constexpr unsigned kSegmentBitmapResolution = 0x4252; // "BR"
constexpr unsigned kBitmapResolutionSize = 4;
constexpr std::size_t kBitmapResolutionSegment = 2 + 4 + kBitmapResolutionSize;
constexpr unsigned kSegmentNull = 0xFFFF;
constexpr std::size_t kNullSegment = 2 + 4;

// Character header: format, class, left offset, top offset, width, height.
constexpr unsigned char kCharFormat = 0;
constexpr unsigned char kCharClassBitmap = 0;
constexpr std::size_t kCharHeaderSize = 10;

// Symbol set sent with SetFont for bitmap fonts.
constexpr int kBitmapSymbolSet = 2;

} // namespace pclxl::font

#endif
