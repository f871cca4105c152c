// Bitmap fonts and text: exact bytes and piece boundaries of every command.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture.h"

using namespace pclxl_test;

namespace {

// FontName piece for "<prefix><name>".
std::string font_name(const std::string &text) {
    std::string h = "C8 C0 " + to_hex(Bytes{static_cast<unsigned char>(text.size())});
    if (!text.empty())
        h += " " + to_hex(bytes_of(text));
    return h + " F8 A8";
}

const unsigned char kGlyph[2] = {0xAA, 0x55};
const uint16_t kCodes[2] = {0x41, 0x142};

TEST(BitmapText, CommandsWriteExactPieces) {
    const std::string abc = font_name("12BMabc");
    const Bytes big(65526, 0x5A);
    const struct {
        const char *what;
        std::function<void()> call;
        std::vector<std::string> pieces;
    } cases[] = {
        {"font header (resolutions big-endian, x then y)",
         [] { pclxl_set_font_header_for_bitmap("abc", 112, 600, 300); },
         {abc, "C0 00 F8 A9", "4F", "C1 12 00 F8 A7", "50", "FB 12", "00 00 00 02 FE 00 03 E8",
          "42 52 00 00 00 04 02 58 01 2C", "C1 06 00 F8 A7", "50", "FB 06 FF FF 00 00 00 00 51"}},
        {"character",
         [] { EXPECT_EQ(pclxl_set_char_for_bitmap("abc", 112, 0x41, kGlyph, 2, 10, -1, 8, 2), 1); },
         {abc, "52", "C1 41 00 F8 A2", "C1 0C 00 F8 A3", "53", "FB 0C",
          "00 00 FF FF 00 0A 00 08 00 02", "AA 55", "54"}},
        {"character offsets: below -32768 sticks, above keeps low bits",
         [] {
             pclxl_set_char_for_bitmap("abc", 112, 0x1234, kGlyph, 2, 40000, -70000, 0x102, 0x304);
         },
         {abc, "52", "C1 34 12 F8 A2", "C1 0C 00 F8 A3", "53", "FB 0C",
          "00 00 80 00 9C 40 01 02 03 04", "AA 55", "54"}},
        {"select font",
         [] { pclxl_set_font_for_bitmap("abc", 112, 12.0f); },
         {abc, "C5 41 40 00 00 F8 A6 C1 02 00 F8 AA 6F"}},
        {"select font: magnitude of a negative size, -0.0 and NaN kept",
         [] {
             pclxl_set_font_for_bitmap("abc", 112, -12.0f);
             pclxl_set_font_for_bitmap("abc", 112, -0.0f);
             pclxl_set_font_for_bitmap("abc", 112, std::nanf(""));
         },
         {abc, "C5 41 40 00 00 F8 A6 C1 02 00 F8 AA 6F", abc,
          "C5 80 00 00 00 F8 A6 C1 02 00 F8 AA 6F", abc, "C5 7F C0 00 00 F8 A6 C1 02 00 F8 AA 6F"}},
        {"internal select font passes symbol set and name flags",
         [] { _pclxl_text_set_font("abc", 112, 1.0f, 0x1234, 2); },
         {font_name("12TTabc"), "C5 3F 80 00 00 F8 A6 C1 34 12 F8 AA 6F"}},
        {"text without spacing",
         [] { EXPECT_EQ(pclxl_paint_text_for_bitmap(kCodes, 2, nullptr, 0, 99), 1); },
         {"C9 C1 02 00", "41 00", "42 01", "F8 AB", "A8"}},
        {"text with spacing",
         [] {
             const unsigned char spacing[2] = {0x0A, 0x0C};
             EXPECT_EQ(pclxl_paint_text_for_bitmap(kCodes, 2, spacing, 2, 0), 1);
         },
         {"C9 C1 02 00", "41 00", "42 01", "F8 AB", "C8 C0 02", "0A 0C", "F8 AF", "A8"}},
        // The character data size widens when header plus bitmap reach 65536
        // bytes (the embedded length's own switch is a primitives row).
        {"65525-byte glyph",
         [&] { pclxl_set_char_for_bitmap("abc", 112, 1, big.data(), 65525, 0, 0, 8, 1); },
         {abc, "52", "C1 01 00 F8 A2", "C1 FF FF F8 A3", "53", "FA FF FF 00 00",
          "00 00 00 00 00 00 00 08 00 01", to_hex(Bytes(65525, 0x5A)), "54"}},
        {"65526-byte glyph",
         [&] { pclxl_set_char_for_bitmap("abc", 112, 1, big.data(), 65526, 0, 0, 8, 1); },
         {abc, "52", "C1 01 00 F8 A2", "C2 00 00 01 00 F8 A3", "53", "FA 00 00 01 00",
          "00 00 00 00 00 00 00 08 00 01", to_hex(big), "54"}},
        {"remove font", [] { pclxl_remove_font_for_bitmap("abc", 112); }, {abc, "55"}},
        {"spacing count keeps its low 8 bits, all bytes go out",
         [] {
             const std::vector<unsigned char> spacing(257, 3);
             pclxl_paint_text_for_bitmap(kCodes, 1, spacing.data(), 257, 0);
         },
         {"C9 C1 01 00", "41 00", "F8 AB", "C8 C0 01", to_hex(Bytes(257, 3)), "F8 AF", "A8"}},
        // FontName: the number less 100 and "BM" (bitmap) or "TT" before the
        // name; flag 1 alone: the name as it is. 75 bytes at most.
        {"100", [] { EXPECT_EQ(_pclxl_addFontName("abc", 100, 3), 6); }, {font_name("0BMabc")}},
        {"99", [] { EXPECT_EQ(_pclxl_addFontName("abc", 99, 3), 7); }, {font_name("-1BMabc")}},
        {"65535", [] { EXPECT_EQ(_pclxl_addFontName("", 65535, 3), 7); }, {font_name("65435BM")}},
        {"no prefix", [] { EXPECT_EQ(_pclxl_addFontName("abc", 112, 1), 3); }, {font_name("abc")}},
        {"longest",
         [] { EXPECT_EQ(_pclxl_addFontName(std::string(71, 'n').c_str(), 112, 3), 75); },
         {font_name("12BM" + std::string(71, 'n'))}},
    };
    for (const auto &g : cases) {
        Capture cap;
        EXPECT_EQ(capture_stderr(g.call), "") << g.what;
        EXPECT_EQ(cap.hex_pieces(), g.pieces) << g.what;
    }
}

TEST(BitmapText, OverlongFontNameWritesNothing) {
    const std::string too_long(72, 'n'), no_prefix(76, 'n');
    const char *n = too_long.c_str();
    const struct {
        const char *op;
        std::function<void()> call;
    } cases[] = {
        {"pclxl_set_font_header_for_bitmap",
         [&] { pclxl_set_font_header_for_bitmap(n, 112, 600, 600); }},
        {"pclxl_set_char_for_bitmap",
         [&] { EXPECT_EQ(pclxl_set_char_for_bitmap(n, 112, 1, kGlyph, 2, 0, 0, 8, 2), 1); }},
        {"pclxl_set_font_for_bitmap", [&] { pclxl_set_font_for_bitmap(n, 112, 1); }},
        {"pclxl_remove_font_for_bitmap", [&] { pclxl_remove_font_for_bitmap(n, 112); }},
        {"_pclxl_addFontName", [&] { EXPECT_EQ(_pclxl_addFontName(n, 112, 3), -1); }},
        {"_pclxl_addFontName", [&] { EXPECT_EQ(_pclxl_addFontName(no_prefix.c_str(), 1, 0), -1); }},
    };
    for (const auto &c : cases) {
        Capture cap;
        EXPECT_EQ(capture_stderr(c.call),
                  std::string(c.op) + "(): Fatal Error: FontName text is longer than 75 bytes.\n");
        EXPECT_TRUE(cap.pieces().empty()) << c.op;
    }
}

} // namespace
