// Golden bytes and piece boundaries of the encoder primitives; the fixed-order
// reads and stores, independent of the machine's byte order; and the output
// sink: every accepted piece is exactly one callback call with the caller's
// buffer, refused pieces are reported on stderr and never delivered.
#include <functional>

#include <gtest/gtest.h>

#include "capture.h"

using namespace pclxl_test;

namespace {

// One hex string per callback call; none of these writes to stderr.
TEST(Primitives, GoldenPieces) {
    static unsigned char abc[] = {'a', 'b', 'c'};
    static short dashes[] = {1, -1};
    static _point16 point = {-1, 2}, box[2] = {{10, 20}, {300, 400}};
    const struct {
        const char *what;
        std::function<void()> call;
        std::vector<std::string> pieces;
    } cases[] = {
        {"ubyte keeps low 8 bits", [] { _pclxl_add_attribute(300, 0x4B, 1); }, {"C0 2C F8 4B"}},
        {"uint16", [] { _pclxl_add_attribute(0x12345, 0x31, 2); }, {"C1 45 23 F8 31"}},
        {"uint32", [] { _pclxl_add_attribute(70000, 0xA3, 3); }, {"C2 70 11 01 00 F8 A3"}},
        {"sint16 negative",
         [] { _pclxl_add_attribute(static_cast<unsigned>(-2), 0x49, 4); },
         {"C3 FE FF F8 49"}},
        {"sint32", [] { _pclxl_add_attribute(0xFFFFFFFEu, 0x49, 5); }, {"C4 FE FF FF FF F8 49"}},
        {"code 0 has no value", [] { _pclxl_add_attribute(7, 0x31, 0); }, {"F8 31"}},
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
        {"point", [] { _pclxl_add_point16(&point, 0x4C); }, {"D3 FF FF 02 00 F8 4C"}},
        {"bounding box",
         [] { _pclxl_add_boundingBox16(box); },
         {"E3 0A 00 14 00 2C 01 90 01 F8 42"}},
        {"8-bit array header", [] { _pclxl_add_arrayHeader(0xC8, 300); }, {"C8 C0 2C"}},
        {"16-bit array header", [] { _pclxl_add_arrayHeader16(0xC9, 300); }, {"C9 C1 2C 01"}},
        {"data length 255", [] { _pclxl_add_embedFlag(255); }, {"FB FF"}},
        {"data length 256", [] { _pclxl_add_embedFlag(256); }, {"FA 00 01 00 00"}},
        {"byte array", [] { WriteXLArray(3, abc, true, 0xAF); }, {"C8 C0 03", "61 62 63", "F8 AF"}},
        {"16-bit array",
         [] { WriteXLArray(2, reinterpret_cast<unsigned char *>(dashes), false, 0x4A); },
         {"CB C1 02 00", "01 00 FF FF", "F8 4A"}},
        {"short comment",
         [] { pclxl_add_comment("abc", 3); },
         {"C8 C0 03", "61 62 63", "F8 81 47"}},
    };
    for (const auto &c : cases) {
        Capture cap;
        EXPECT_EQ(capture_stderr(c.call), "") << c.what;
        EXPECT_EQ(cap.hex_pieces(), c.pieces) << c.what;
    }
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

TEST(Primitives, LongCommentUsesA16BitLength) {
    std::string text(256, 'x');
    Capture cap;
    pclxl_add_comment(text.data(), 256);
    ASSERT_EQ(cap.pieces().size(), 3u);
    EXPECT_EQ(to_hex(cap.pieces()[0]), "C8 C1 00 01");
    EXPECT_EQ(cap.pieces()[1], bytes_of(text));
}

// Fixed-order reads and stores.
TEST(ByteOrder, Reads) {
    struct Case {
        const char *bytes;
        int64_t le_signed32;
        uint32_t le32, be32;
    } cases[] = {
        {"78 56 34 12", 0x12345678, 0x12345678, 0x78563412},
        {"01 00 00 80", -2147483647, 0x80000001, 0x01000080},
        {"00 00 00 80", 0, 0x80000000, 0x00000080},
    };
    for (const Case &c : cases) {
        Bytes b = hex(c.bytes);
        EXPECT_EQ(pbGetInt32(b.data()), c.le_signed32) << c.bytes;
        EXPECT_EQ(pbGetUInt32(b.data()), c.le32) << c.bytes;
        EXPECT_EQ(pbBigGetUInt32(b.data()), c.be32) << c.bytes;
    }
    Bytes b = hex("34 12");
    EXPECT_EQ(pbGetUInt16(b.data()), 0x1234);
    EXPECT_EQ(pbBigGetUInt16(b.data()), 0x3412);
}

TEST(ByteOrder, StoresTouchExactlyTheirBytes) {
    Bytes b(6, 0xEE);
    pbSetUInt32(b.data() + 1, 0x12345678);
    EXPECT_EQ(to_hex(b), "EE 78 56 34 12 EE");
    pbBigSetUInt32(b.data() + 1, 0x12345678);
    EXPECT_EQ(to_hex(b), "EE 12 34 56 78 EE");
    pbSetUInt16(b.data() + 1, 0x12345);
    EXPECT_EQ(to_hex(b), "EE 45 23 56 78 EE");
    pbBigSetUInt16(b.data() + 1, 0x12345);
    EXPECT_EQ(to_hex(b), "EE 23 45 56 78 EE");
}

TEST(ByteOrder, SwapsAndNarrowing) {
    EXPECT_EQ(TranslMotorolaWord(1000), 0xE803);
    EXPECT_EQ(TranslMotorolaLong(0x12345678u), 0x78563412u);
    short words[] = {0x1241, 0x0042};
    unsigned char out[3] = {0xEE, 0xEE, 0xEE};
    WordStr2ByteStr(out, words, 2);
    EXPECT_EQ(to_hex(Bytes(out, out + 3)), "41 42 EE");
    WordStr2ByteStr(out, words, 0);
    EXPECT_EQ(out[0], 0x41);
}

struct Call {
    const void *buffer;
    unsigned int length;
    const void *ctx;
};
std::vector<Call> calls;
void record(const void *buffer, unsigned int length, const void *ctx) {
    calls.push_back({buffer, length, ctx});
}
void other(const void *, unsigned int, const void *) {}

TEST(Sink, RefusedPiecesAreReportedAndNeverDelivered) {
    unsigned char b[1] = {0};
    struct Case {
        bool installed;
        void *buffer;
        unsigned int length;
        const char *stderr_text;
    } cases[] = {
        {false, b, 1, ""}, // no callback: dropped silently
        {true, b, 0, "_dev_write(): outBufferLen == 0.\n"},
        {true, nullptr, 5, "_dev_write(): outBuffer== NULL.\n"},
        {true, nullptr, 0, "_dev_write(): outBufferLen == 0.\n_dev_write(): outBuffer== NULL.\n"},
    };
    calls.clear();
    for (const Case &c : cases) {
        pclxl_init(nullptr, c.installed ? record : nullptr);
        bool result = true;
        EXPECT_EQ(capture_stderr([&] { result = _dev_write(c.buffer, c.length); }), c.stderr_text);
        EXPECT_FALSE(result);
    }
    pclxl_init(nullptr, nullptr);
    EXPECT_TRUE(calls.empty());
}

// Each piece is one call with the caller's own buffer; installing again
// replaces the callback, and exit or flush leave it installed.
TEST(Sink, DeliversTheSamePointerLengthAndContext) {
    calls.clear();
    int ctx = 0;
    pclxl_init(&ctx, other);
    EXPECT_EQ(pclxl_init(&ctx, record), 1);
    EXPECT_EQ(gDataOut, &record);
    EXPECT_EQ(g_data_out_ctx, &ctx);
    pclxl_exit();
    pclxl_flush_prn_file();
    unsigned char b[4] = {9, 8, 7, 6};
    EXPECT_TRUE(_dev_write(b, 4));
    pclxl_init(nullptr, nullptr);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].buffer, b);
    EXPECT_EQ(calls[0].length, 4u);
    EXPECT_EQ(calls[0].ctx, &ctx);
}

} // namespace
