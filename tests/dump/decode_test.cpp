// Well-formed input: values in both byte orders, and image data decoded row
// by row.
#include <gtest/gtest.h>

#include <cstdio>

#include "dump_support.h"

namespace {

using namespace dump_test;

const std::string kBigEndianHeader = "28" + std::string(kHeader).substr(2);

struct ValueCase {
    const char *name;
    const char *low_first; // value bytes, low byte first
    const char *high_first;
    std::vector<double> elements;
};

const ValueCase kValues[] = {
    {"uint16", "C1 2C 01", "C1 01 2C", {300}},
    {"real32_xy", "D5 00 00 80 3F 00 00 20 C0", "D5 3F 80 00 00 C0 20 00 00", {1.0, -2.5}},
    {"sint16_box", "E3 FF FF 02 00 2C 01 D4 FE", "E3 FF FF 00 02 01 2C FE D4", {-1, 2, 300, -300}},
    {"uint16_array", "C9 C1 02 00 01 00 02 01", "C9 C1 00 02 00 01 01 02", {1, 258}},
    {"uint32_array", "CA C0 01 04 03 02 01", "CA C0 01 01 02 03 04", {16909060}},
    {"real32_array",
     "CD C0 02 00 00 00 3F 00 00 00 40",
     "CD C0 02 3F 00 00 00 40 00 00 00",
     {0.5, 2}},
    {"array_with_uint32_length", "C8 C2 01 00 00 00 07", "C8 C2 00 00 00 01 07", {7}},
    {"empty_array", "C9 C0 00", "C9 C0 00", {}},
};

TEST(Values, DecodeInBothByteOrders) {
    for (const ValueCase &c : kValues) {
        for (const bool big : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (big ? ", high first" : ", low first"));
            const Result r = read_bytes(from_hex((big ? kBigEndianHeader : std::string(kHeader)) +
                                                 (big ? c.high_first : c.low_first) + " F8 4B 7A"));
            ASSERT_TRUE(r.ok) << r.error.message;
            ASSERT_EQ(r.recorder.commands.size(), 1u);
            const pclxl_reader::Value &v = r.recorder.commands[0].attributes.at(0).value;
            EXPECT_EQ(v.count, c.elements.size());
            EXPECT_EQ(v.elements, c.elements);
        }
    }
    // Two-byte attribute ids follow the byte order too.
    for (const bool big : {false, true}) {
        const Result r = read_bytes(from_hex((big ? kBigEndianHeader : std::string(kHeader)) +
                                             (big ? "C0 05 F9 00 4B 7A" : "C0 05 F9 4B 00 7A")));
        ASSERT_TRUE(r.ok) << r.error.message;
        EXPECT_EQ(r.recorder.commands.at(0).attributes.at(0).id, 0x4B);
    }
}

std::string le16(unsigned n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X %02X", n & 0xFF, (n >> 8) & 0xFF);
    return buf;
}

std::string begin_image(int mapping, int depth, unsigned width, unsigned height) {
    return "C0 0" + std::to_string(mapping) + " F8 64 C0 0" + std::to_string(depth) + " F8 62 C1 " +
           le16(width) + " F8 6C C1 " + le16(height) + " F8 6B D1 " + le16(width) + " " +
           le16(height) + " F8 67 B0";
}

std::string read_image(unsigned start, unsigned rows, int mode, const std::string &data) {
    char len[8];
    std::snprintf(len, sizeof len, "%02zX", from_hex(data).size());
    return "C1 " + le16(start) + " F8 6D C1 " + le16(rows) + " F8 63 C0 0" + std::to_string(mode) +
           " F8 65 B1 FB " + len + " " + data;
}

const std::string kGray = "C0 01 F8 03 6A";

struct ImageCase {
    const char *name;
    std::string stream;
    std::vector<std::vector<std::string>> rows; // per image, rows in hex
};

const ImageCase kImages[] = {
    {"delta_row_seed_carries_between_blocks",
     in_page(kGray + begin_image(0, 2, 4, 3) + read_image(0, 1, 3, "05 00 60 10 20 30 40") +
             read_image(1, 2, 3, "00 00 02 00 02 99") + "B2"),
     {{"10203040", "10203040", "10209940"}}},
    {"delta_row_seed_restarts_per_image",
     in_page(kGray + begin_image(0, 2, 4, 1) + read_image(0, 1, 3, "05 00 60 10 20 30 40") + "B2" +
             begin_image(0, 2, 4, 1) + read_image(0, 1, 3, "02 00 01 AA") + "B2"),
     {{"10203040"}, {"00AA0000"}}},
    {"delta_row_offset_extension",
     in_page(kGray + begin_image(0, 2, 40, 1) + read_image(0, 1, 3, "03 00 1F 00 55") + "B2"),
     {{std::string(62, '0') + "55" + std::string(16, '0')}}},
    {"run_length_rows_are_padded",
     in_page(kGray + begin_image(0, 2, 3, 2) + read_image(0, 2, 1, "03 01 02 03 00 FD 09") + "B2"),
     {{"010203", "090909"}}},
    {"uncompressed_rgb_rows_are_padded",
     in_page("C0 02 F8 03 6A" + begin_image(0, 2, 1, 2) +
             read_image(0, 2, 0, "01 02 03 00 04 05 06 00") + "B2"),
     {{"010203", "040506"}}},
    {"one_bit_indexed",
     in_page("C0 01 F8 03 C0 02 F8 02 C8 C1 02 00 00 FF F8 06 6A" + begin_image(1, 0, 10, 1) +
             read_image(0, 1, 3, "03 00 20 F0 C0") + "B2"),
     {{"F0C0"}}},
    {"high_byte_first_stream_and_data",
     kBigEndianHeader + "D1 02 58 02 58 F8 89 C0 00 F8 86 41 C0 00 F8 88 C0 00 F8 82 48 "
                        "C0 02 F8 25 43 C0 00 F8 64 C0 02 F8 62 C1 00 04 F8 6C C1 00 01 F8 6B "
                        "D1 00 04 00 01 F8 67 B0 C1 00 00 F8 6D C1 00 01 F8 63 C0 03 F8 65 "
                        "B1 FA 00 00 00 07 00 05 60 10 20 30 40 B2 44 49 42",
     {{"10203040"}}},
};

TEST(Images, DecodeToRows) {
    for (const ImageCase &c : kImages) {
        SCOPED_TRACE(c.name);
        const Result r = read_bytes(from_hex(c.stream));
        ASSERT_TRUE(r.ok) << r.error.message;
        std::vector<std::vector<Bytes>> want;
        for (const auto &image : c.rows) {
            want.emplace_back();
            for (const std::string &row : image)
                want.back().push_back(from_hex(row));
        }
        EXPECT_EQ(r.recorder.rows, want);
    }
}

} // namespace
