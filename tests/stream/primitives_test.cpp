// Golden bytes and piece boundaries of the encoder primitives.
#include <functional>

#include <gtest/gtest.h>

#include "capture.h"

using namespace pclxl_test;

namespace {

struct Golden {
    const char *what;
    std::function<void()> call;
    std::vector<std::string> pieces; // one hex string per callback call
};

void expect_pieces(const std::vector<Golden> &cases) {
    for (const Golden &c : cases) {
        Capture cap;
        std::string err = capture_stderr(c.call);
        EXPECT_EQ(cap.hex_pieces(), c.pieces) << c.what;
        EXPECT_EQ(err, "") << c.what;
    }
}

TEST(Primitives, ScalarAttributesCutValuesToTheirType) {
    expect_pieces({
        {"operator", [] { _pclxl_set_operator(0x41); }, {"41"}},
        {"ubyte keeps low 8 bits", [] { _pclxl_add_attribute(300, 0x4B, 1); }, {"C0 2C F8 4B"}},
        {"uint16", [] { _pclxl_add_attribute(0x12345, 0x31, 2); }, {"C1 45 23 F8 31"}},
        {"uint32", [] { _pclxl_add_attribute(70000, 0xA3, 3); }, {"C2 70 11 01 00 F8 A3"}},
        {"sint16 negative",
         [] { _pclxl_add_attribute(static_cast<unsigned>(-2), 0x49, 4); },
         {"C3 FE FF F8 49"}},
        {"sint32", [] { _pclxl_add_attribute(0xFFFFFFFEu, 0x49, 5); }, {"C4 FE FF FF FF F8 49"}},
        {"code 0 has no value", [] { _pclxl_add_attribute(7, 0x31, 0); }, {"F8 31"}},
    });
}

TEST(Primitives, XYAttributes) {
    expect_pieces({
        {"ubyte_xy", [] { _pclxl_add_attributeXY(0x101, 2, 0x2A, 10); }, {"D0 01 02 F8 2A"}},
        {"uint16_xy", [] { _pclxl_add_attributeXY(600, 600, 0x89, 11); }, {"D1 58 02 58 02 F8 89"}},
        {"uint32_xy",
         [] { _pclxl_add_attributeXY(1, 0x01020304, 0x2A, 12); },
         {"D2 01 00 00 00 04 03 02 01 F8 2A"}},
        {"sint16_xy",
         [] { _pclxl_add_attributeXY(static_cast<unsigned>(-1), 2, 0x2A, 13); },
         {"D3 FF FF 02 00 F8 2A"}},
        {"sint32_xy",
         [] { _pclxl_add_attributeXY(static_cast<unsigned>(-1), 2, 0x2A, 14); },
         {"D4 FF FF FF FF 02 00 00 00 F8 2A"}},
        {"scalar code to xy", [] { _pclxl_add_attributeXY(1, 2, 0x2A, 3); }, {"F8 2A"}},
    });
}

TEST(Primitives, PointsBoxesHeadersAndLengths) {
    expect_pieces({
        {"point",
         [] {
             _point16 p = {-1, 2};
             _pclxl_add_point16(&p, 0x4C);
         },
         {"D3 FF FF 02 00 F8 4C"}},
        {"bounding box",
         [] {
             _rect16 r = {10, 20, 300, 400};
             _pclxl_add_boundingBox16(reinterpret_cast<_point16 *>(&r));
         },
         {"E3 0A 00 14 00 2C 01 90 01 F8 42"}},
        {"8-bit array header", [] { _pclxl_add_arrayHeader(0xC8, 300); }, {"C8 C0 2C"}},
        {"16-bit array header", [] { _pclxl_add_arrayHeader16(0xC9, 300); }, {"C9 C1 2C 01"}},
        {"data length 255", [] { _pclxl_add_embedFlag(255); }, {"FB FF"}},
        {"data length 256", [] { _pclxl_add_embedFlag(256); }, {"FA 00 01 00 00"}},
    });
}

TEST(Primitives, CharacterCodeFlagsSelectTagWidthAndSuffix) {
    const char *expected[8] = {"34 F8 A2", "C0 34 F8 A2", "34 12 F8 A2", "C1 34 12 F8 A2",
                               "34",       "C0 34",       "34 12",       "C1 34 12"};
    for (unsigned flags = 0; flags < 16; ++flags) {
        Capture cap;
        _pclxl_add_code(0x1234, flags);
        EXPECT_EQ(cap.hex_pieces(), std::vector<std::string>{expected[flags & 7]}) << flags;
    }
}

TEST(Primitives, ArraysAndCommentsGoOutInThreePieces) {
    static unsigned char abc[] = {'a', 'b', 'c'};
    static short dashes[] = {1, -1};
    expect_pieces({
        {"byte array", [] { WriteXLArray(3, abc, true, 0xAF); }, {"C8 C0 03", "61 62 63", "F8 AF"}},
        {"16-bit array",
         [] { WriteXLArray(2, reinterpret_cast<unsigned char *>(dashes), false, 0x4A); },
         {"CB C1 02 00", "01 00 FF FF", "F8 4A"}},
        {"short comment",
         [] { pclxl_add_comment("abc", 3); },
         {"C8 C0 03", "61 62 63", "F8 81 47"}},
    });
}

TEST(Primitives, LongCommentUsesA16BitLength) {
    std::string text(256, 'x');
    Capture cap;
    pclxl_add_comment(text.data(), 256);
    ASSERT_EQ(cap.pieces().size(), 3u);
    EXPECT_EQ(to_hex(cap.pieces()[0]), "C8 C1 00 01");
    EXPECT_EQ(cap.pieces()[1], bytes_of(text));
}

TEST(Primitives, EmptyCommentReportsTheEmptyDataPiece) {
    Capture cap;
    EXPECT_EQ(capture_stderr([] { pclxl_add_comment("", 0); }),
              "_dev_write(): outBufferLen == 0.\n");
    EXPECT_EQ(cap.hex_pieces(), (std::vector<std::string>{"C8 C0 00", "F8 81 47"}));
}

} // namespace
