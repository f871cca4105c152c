// Golden bytes and piece boundaries of the encoder primitives; the fixed-order
// reads and stores, independent of the machine's byte order; and the output
// sink: every accepted piece is exactly one callback call with the caller's
// buffer, refused pieces are reported on stderr and never delivered.
#include <functional>
#include <iterator>
#include <tuple>

#include <gtest/gtest.h>

#include "capture.h"

using namespace pclxl_test;

namespace {

// A call and its pieces, one hex string per callback call; none of these
// writes to stderr. Attribute value types: 1-5 ubyte, uint16, uint32,
// sint16, sint32 (values cut to the type); 10-14 the same as pairs; 0 no
// value; a scalar type for a pair writes only the attribute.
TEST(Primitives, GoldenPieces) {
    static unsigned char abc[] = {'a', 'b', 'c'};
    static short dashes[] = {1, -1};
    static _point16 point = {-1, 2}, box[2] = {{10, 20}, {300, 400}};
    const std::pair<std::function<void()>, std::vector<std::string>> cases[] = {
        {[] { _pclxl_add_attribute(300, 0x4B, 1); }, {"C0 2C F8 4B"}},
        {[] { _pclxl_add_attribute(0x12345, 0x31, 2); }, {"C1 45 23 F8 31"}},
        {[] { _pclxl_add_attribute(70000, 0xA3, 3); }, {"C2 70 11 01 00 F8 A3"}},
        {[] { _pclxl_add_attribute(~1u, 0x49, 4); }, {"C3 FE FF F8 49"}},
        {[] { _pclxl_add_attribute(~1u, 0x49, 5); }, {"C4 FE FF FF FF F8 49"}},
        {[] { _pclxl_add_attribute(7, 0x31, 0); }, {"F8 31"}},
        {[] { _pclxl_add_attributeXY(0x101, 2, 0x2A, 10); }, {"D0 01 02 F8 2A"}},
        {[] { _pclxl_add_attributeXY(600, 600, 0x89, 11); }, {"D1 58 02 58 02 F8 89"}},
        {[] { _pclxl_add_attributeXY(1, 0x01020304, 0x2A, 12); },
         {"D2 01 00 00 00 04 03 02 01 F8 2A"}},
        {[] { _pclxl_add_attributeXY(~0u, 2, 0x2A, 13); }, {"D3 FF FF 02 00 F8 2A"}},
        {[] { _pclxl_add_attributeXY(~0u, 2, 0x2A, 14); }, {"D4 FF FF FF FF 02 00 00 00 F8 2A"}},
        {[] { _pclxl_add_attributeXY(1, 2, 0x2A, 3); }, {"F8 2A"}},
        {[] { _pclxl_add_point16(&point, 0x4C); }, {"D3 FF FF 02 00 F8 4C"}},
        {[] { _pclxl_add_boundingBox16(box); }, {"E3 0A 00 14 00 2C 01 90 01 F8 42"}},
        {[] { _pclxl_add_arrayHeader(0xC8, 300); }, {"C8 C0 2C"}},
        {[] { _pclxl_add_arrayHeader16(0xC9, 300); }, {"C9 C1 2C 01"}},
        {[] { _pclxl_add_embedFlag(255); }, {"FB FF"}},
        {[] { _pclxl_add_embedFlag(256); }, {"FA 00 01 00 00"}},
        {[] { WriteXLArray(3, abc, true, 0xAF); }, {"C8 C0 03", "61 62 63", "F8 AF"}},
        {[] { WriteXLArray(2, reinterpret_cast<unsigned char *>(dashes), false, 0x4A); },
         {"CB C1 02 00", "01 00 FF FF", "F8 4A"}},
        {[] { pclxl_add_comment("abc", 3); }, {"C8 C0 03", "61 62 63", "F8 81 47"}},
        {[] { pclxl_add_comment(std::string(256, 'x').data(), 256); },
         {"C8 C1 00 01", to_hex(Bytes(256, 'x')), "F8 81 47"}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        Capture cap;
        EXPECT_EQ(capture_stderr(cases[i].first), "") << "row " << i;
        EXPECT_EQ(cap.hex_pieces(), cases[i].second) << "row " << i;
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

// Fixed-order reads, stores, swaps and narrowing.
TEST(ByteOrder, ReadsStoresAndSwaps) {
    const std::tuple<const char *, int64_t, uint32_t, uint32_t> reads[] = {
        {"78 56 34 12", 0x12345678, 0x12345678, 0x78563412},
        {"01 00 00 80", -2147483647, 0x80000001, 0x01000080},
        {"00 00 00 80", 0, 0x80000000, 0x00000080},
    };
    for (const auto &[bytes, le_signed32, le32, be32] : reads) {
        Bytes b = hex(bytes);
        EXPECT_EQ(pbGetInt32(b.data()), le_signed32) << bytes;
        EXPECT_EQ(pbGetUInt32(b.data()), le32) << bytes;
        EXPECT_EQ(pbBigGetUInt32(b.data()), be32) << bytes;
        EXPECT_EQ(pbGetUInt16(b.data()), le32 & 0xFFFF) << bytes;
        EXPECT_EQ(pbBigGetUInt16(b.data()), be32 >> 16) << bytes;
    }
    Bytes b(6, 0xEE); // stores touch exactly their bytes
    pbSetUInt32(b.data() + 1, 0x12345678);
    EXPECT_EQ(to_hex(b), "EE 78 56 34 12 EE");
    pbBigSetUInt32(b.data() + 1, 0x12345678);
    EXPECT_EQ(to_hex(b), "EE 12 34 56 78 EE");
    pbSetUInt16(b.data() + 1, 0x12345);
    EXPECT_EQ(to_hex(b), "EE 45 23 56 78 EE");
    pbBigSetUInt16(b.data() + 1, 0x12345);
    EXPECT_EQ(to_hex(b), "EE 23 45 56 78 EE");
    EXPECT_EQ(TranslMotorolaWord(1000), 0xE803);
    EXPECT_EQ(TranslMotorolaLong(0x12345678u), 0x78563412u);
    short words[] = {0x1241, 0x0042};
    WordStr2ByteStr(b.data(), words, 2);
    EXPECT_EQ(to_hex(b), "41 42 45 56 78 EE");
    WordStr2ByteStr(b.data(), words, 0);
    EXPECT_EQ(b[0], 0x41);
}

std::vector<std::tuple<const void *, unsigned int, const void *>> calls;
void record(const void *buffer, unsigned int length, const void *ctx) {
    calls.emplace_back(buffer, length, ctx);
}
void other(const void *, unsigned int, const void *) {}

// Each piece is one call with the caller's own buffer and context;
// installing again replaces the callback, and exit or flush leave it
// installed. Refused pieces are reported and never delivered.
TEST(Sink, OneCallPerPieceAndRefusedPiecesNeverDelivered) {
    calls.clear();
    int ctx = 0;
    unsigned char b[4] = {9, 8, 7, 6};
    pclxl_init(&ctx, other);
    EXPECT_EQ(pclxl_init(&ctx, record), 1);
    EXPECT_EQ(gDataOut, &record);
    EXPECT_EQ(g_data_out_ctx, &ctx);
    pclxl_exit();
    pclxl_flush_prn_file();
    EXPECT_TRUE(_dev_write(b, 4));
    const std::tuple<void *, unsigned int, const char *> refused[] = {
        {b, 0, "_dev_write(): outBufferLen == 0.\n"},
        {nullptr, 5, "_dev_write(): outBuffer== NULL.\n"},
        {nullptr, 0, "_dev_write(): outBufferLen == 0.\n_dev_write(): outBuffer== NULL.\n"},
        {b, 1, ""}, // no callback: dropped silently
    };
    for (const auto &[buffer, length, text] : refused) {
        pclxl_init(&ctx, *text ? record : nullptr);
        EXPECT_EQ(capture_stderr([&] { EXPECT_FALSE(_dev_write(buffer, length)); }), text);
    }
    pclxl_init(nullptr, nullptr);
    EXPECT_EQ(calls, (decltype(calls){{b, 4u, &ctx}}));
}

} // namespace
