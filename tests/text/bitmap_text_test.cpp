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

struct Golden {
    const char *what;
    std::function<void()> call;
    std::vector<std::string> pieces;
};

const unsigned char kGlyph[2] = {0xAA, 0x55};
const uint16_t kCodes[2] = {0x41, 0x142};

TEST(BitmapText, CommandsWriteExactPieces) {
    const std::string abc = font_name("12BMabc");
    const std::vector<Golden> cases = {
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
        {"remove font", [] { pclxl_remove_font_for_bitmap("abc", 112); }, {abc, "55"}},
    };
    for (const Golden &g : cases) {
        Capture cap;
        EXPECT_EQ(capture_stderr(g.call), "") << g.what;
        std::vector<std::string> want;
        for (const std::string &p : g.pieces)
            want.push_back(to_hex(hex(p)));
        EXPECT_EQ(cap.hex_pieces(), want) << g.what;
    }
}

TEST(BitmapText, FontNamePrefixFollowsNumberAndFlags) {
    const std::string longest(71, 'n'); // with "12BM", the longest text allowed: 75 bytes
    const struct {
        int number, flags;
        std::string name, text;
    } cases[] = {
        {100, 3, "abc", "0BMabc"},  {99, 3, "abc", "-1BMabc"}, {65535, 3, "", "65435BM"},
        {112, 2, "abc", "12TTabc"}, {112, 1, "abc", "abc"},    {112, 3, longest, "12BM" + longest},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        Capture cap;
        EXPECT_EQ(_pclxl_addFontName(c.name.c_str(), c.number, c.flags),
                  static_cast<int>(c.text.size()));
        ASSERT_EQ(cap.pieces().size(), 1u);
        EXPECT_EQ(cap.hex_pieces()[0], to_hex(hex(font_name(c.text))));
    }
}

// The character data size switches to 32 bits when header plus bitmap reach
// 65536 bytes (the embedded length's own switch is a primitives row).
TEST(BitmapText, CharDataSizeWidensAt65536) {
    struct Case {
        int length;
        const char *size, *prefix;
    } cases[] = {
        {65525, "C1 FF FF F8 A3", "FA FF FF 00 00"},
        {65526, "C2 00 00 01 00 F8 A3", "FA 00 00 01 00"},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> bitmap(static_cast<size_t>(c.length), 0x5A);
        Capture cap;
        pclxl_set_char_for_bitmap("abc", 112, 1, bitmap.data(), c.length, 0, 0, 8, 1);
        ASSERT_EQ(cap.pieces().size(), 9u) << c.length;
        EXPECT_EQ(cap.hex_pieces()[3], c.size) << c.length;
        EXPECT_EQ(cap.hex_pieces()[5], c.prefix) << c.length;
        EXPECT_EQ(cap.pieces()[7], bitmap) << c.length;
    }
}

TEST(BitmapText, SpacingHeaderKeepsLowCountBitsButSendsAllBytes) {
    std::vector<unsigned char> spacing(257, 3);
    const uint16_t code = 0x20;
    Capture cap;
    pclxl_paint_text_for_bitmap(&code, 1, spacing.data(), 257, 0);
    ASSERT_EQ(cap.pieces().size(), 7u);
    EXPECT_EQ(cap.hex_pieces()[3], "C8 C0 01");
    EXPECT_EQ(cap.pieces()[4], spacing);
}

// One byte over the longest FontName text and the whole command is dropped
// with one error line naming the operation.
TEST(BitmapText, OverlongFontNameWritesNothing) {
    const std::string too_long(72, 'n');
    struct Case {
        const char *operation;
        std::function<void(const char *)> call;
    } cases[] = {
        {"pclxl_set_font_header_for_bitmap",
         [](const char *n) { pclxl_set_font_header_for_bitmap(n, 112, 600, 600); }},
        {"pclxl_set_char_for_bitmap",
         [](const char *n) {
             EXPECT_EQ(pclxl_set_char_for_bitmap(n, 112, 1, kGlyph, 2, 0, 0, 8, 2), 1);
         }},
        {"pclxl_set_font_for_bitmap", [](const char *n) { pclxl_set_font_for_bitmap(n, 112, 1); }},
        {"pclxl_remove_font_for_bitmap",
         [](const char *n) { pclxl_remove_font_for_bitmap(n, 112); }},
        {"_pclxl_addFontName", [](const char *n) { EXPECT_EQ(_pclxl_addFontName(n, 112, 3), -1); }},
        // 76 bytes without a prefix.
        {"_pclxl_addFontName",
         [](const char *) {
             EXPECT_EQ(_pclxl_addFontName(std::string(76, 'n').c_str(), 1, 0), -1);
         }},
    };
    for (const Case &c : cases) {
        Capture cap;
        std::string err = capture_stderr([&] { c.call(too_long.c_str()); });
        EXPECT_TRUE(cap.pieces().empty()) << c.operation;
        EXPECT_EQ(err, std::string(c.operation) +
                           "(): Fatal Error: FontName text is longer than 75 bytes.\n");
    }
}

} // namespace
