// Fixed-order reads and stores, independent of the machine's byte order.
#include <gtest/gtest.h>

#include "capture.h"

using namespace pclxl_test;

namespace {

TEST(ByteOrder, Reads) {
    struct Case {
        const char *bytes;
        int64_t le_signed32;
        uint32_t le32, be32;
    } cases[] = {
        {"78 56 34 12", 0x12345678, 0x12345678, 0x78563412},
        {"FF FF FF FF", -1, 0xFFFFFFFF, 0xFFFFFFFF},
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
    EXPECT_EQ(TranslMotorolaWord(4), 0x0400);
    EXPECT_EQ(TranslMotorolaLong(0x12345678u), 0x78563412u);
    short words[] = {0x1241, 0x0042};
    unsigned char out[3] = {0xEE, 0xEE, 0xEE};
    WordStr2ByteStr(out, words, 2);
    EXPECT_EQ(to_hex(Bytes(out, out + 3)), "41 42 EE");
    WordStr2ByteStr(out, words, 0);
    EXPECT_EQ(out[0], 0x41);
}

} // namespace
