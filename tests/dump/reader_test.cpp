// The reader on hand-written streams: values in both byte orders, image
// data decoded row by row, and malformed jobs, each rejected with a message
// that names what was expected, at the offset of the fault (marked `|`).
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "dump_support.h"

namespace {

using namespace dump_test;

const std::string kBigEndianHeader = "28" + kHeader.substr(2);

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

// ReadImage up to its data, then with the data's length and the data.
std::string read_head(unsigned start, unsigned rows, int mode) {
    return "C1 " + le16(start) + " F8 6D C1 " + le16(rows) + " F8 63 C0 0" + std::to_string(mode) +
           " F8 65 B1 ";
}
std::string read_image(unsigned start, unsigned rows, int mode, const std::string &data) {
    char len[8];
    std::snprintf(len, sizeof len, "%02zX", from_hex(data).size());
    return read_head(start, rows, mode) + "FB " + len + " " + data;
}

const std::string kGray = "C0 01 F8 03 6A";

// Value bytes low byte first, high byte first, and the elements.
const std::tuple<const char *, const char *, std::vector<double>> kValues[] = {
    {"C1 2C 01", "C1 01 2C", {300}},
    {"D5 00 00 80 3F 00 00 20 C0", "D5 3F 80 00 00 C0 20 00 00", {1.0, -2.5}},
    {"E3 FF FF 02 00 2C 01 D4 FE", "E3 FF FF 00 02 01 2C FE D4", {-1, 2, 300, -300}},
    {"CA C0 01 04 03 02 01", "CA C0 01 01 02 03 04", {16909060}},
    {"CD C0 02 00 00 00 3F 00 00 00 40", "CD C0 02 3F 00 00 00 40 00 00 00", {0.5, 2}},
    {"C8 C2 01 00 00 00 07", "C8 C2 00 00 00 01 07", {7}}, // an array with a uint32 length
};

TEST(Values, DecodeInBothByteOrders) {
    for (const auto &[low_first, high_first, elements] : kValues) {
        for (const bool big : {false, true}) {
            SCOPED_TRACE(big ? high_first : low_first);
            const Result r = read_bytes(from_hex((big ? kBigEndianHeader : kHeader) +
                                                 (big ? high_first : low_first) + " F8 4B 7A"));
            ASSERT_TRUE(r.ok) << r.error.message;
            ASSERT_EQ(r.recorder.commands.size(), 1u);
            const pclxl_reader::Value &v = r.recorder.commands[0].attributes.at(0).value;
            EXPECT_EQ(v.count, elements.size());
            EXPECT_EQ(v.elements, elements);
        }
    }
    // Two-byte attribute ids follow the byte order too.
    for (const bool big : {false, true}) {
        const Result r = read_bytes(from_hex((big ? kBigEndianHeader : kHeader) +
                                             (big ? "C0 05 F9 00 4B 7A" : "C0 05 F9 4B 00 7A")));
        ASSERT_TRUE(r.ok) << r.error.message;
        EXPECT_EQ(r.recorder.commands.at(0).attributes.at(0).id, 0x4B);
    }
}

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
     in_page(kGray + begin_image(0, 2, 300, 1) + read_image(0, 1, 3, "04 00 1F FF 00 55") + "B2"),
     {{std::string(572, '0') + "55" + std::string(26, '0')}}},
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

// An 8-bit gray 4x2 image up to BeginImage.
const std::string kImage = kGray + " " + begin_image(0, 2, 4, 2);

const std::string kFontName = "C8 C0 03 61 62 63 F8 A8";
const std::string kFontHeader = kFontName + " C0 00 F8 A9 4F C1 12 00 F8 A7 50 FB 12 "
                                            "00 00 00 02 FE 00 03 E8 42 52 00 00 00 04 02 58 02 58";
const std::string kNullSegment = "C1 06 00 F8 A7 50 FB 06 FF FF 00 00 00 00";
const std::string kFont = kFontHeader + " " + kNullSegment + " 51";
std::string read_char(const char *size, const std::string &length_and_data) {
    return kFontName + " 52 C1 41 00 F8 A2 C1 " + size + " 00 F8 A3 53 " + length_and_data + " 54";
}

struct MalformedCase {
    std::string stream;
    const char *message;
};

const MalformedCase kMalformed[] = {
    {in_page("| 3A"), "unknown tag 0x3A"},
    {kHeader + "| C1 01", "stream ends inside a uint16 value"},
    {kHeader + "C8 | 41", "expected the length of the ubyte_array"},
    {kHeader + "41 C0 01 F8 82 48 C0 02 F8 25 43 " + kImage + " " + read_head(0, 1, 3) +
         "FB 07 05 00 60 |",
     "stream ends inside the data of ReadImage (expected 7 bytes"},
    {kHeader + "| C0 00 F8 28", "attributes without an operator"},
    {in_page("| C0 00 7A"),
     "expected an attribute tag (F8) after the value, found operator SetPenWidth"},
    {in_page(kImage + " " + read_head(0, 1, 3) + "| B2"),
     "expected a data length tag (FA or FB) after ReadImage, found operator EndImage"},
    {in_page(kImage + " " + read_head(0, 1, 3) + "FB 06 04 00 23 01 | 02 03"),
     "past the row's 4 bytes"},
    {in_page(kImage + " " + read_head(0, 1, 3) + "FB 04 00 00 | 00 00"),
     "delta-row data runs past the block's BlockHeight of 1 row"},
    {in_page(kImage + " " + read_head(0, 2, 3) + "FB 02 00 00 |"),
     "delta-row block ends after 1 row; BlockHeight says 2"},
    {in_page(kImage + " " + read_head(0, 2, 0) + "FB 06 | 01 02 03 04 05 06"),
     "uncompressed image data is 6 bytes; BlockHeight 2 rows of 4 padded bytes need 8"},
    {in_page(kImage + " " + read_head(0, 1, 1) + "FB 02 F9 | 00"),
     "run-length data runs past the block's BlockHeight of 1 row"},
    // Sizes derived from the stream: rows of no bytes, padding of gigabytes
    // (which would make the padded row wrap to 0), blocks that cannot hold
    // their rows, and a NaN where a size goes.
    {in_page(kGray + " " + begin_image(0, 2, 0, 2) + " " + read_head(0, 1, 1) + "FB 02 | 81 00"),
     "image data of 2 bytes for rows of 0 bytes (SourceWidth 0)"},
    {in_page(
         kImage +
         " C1 00 00 F8 6D C1 01 00 F8 63 C0 01 F8 65 C2 FD FF FF FF F8 6E B1 FB 04 | 01 01 02 03"),
     "PadBytesMultiple 4294967293"},
    {in_page("C0 01 F8 03 6A C0 00 F8 64 C0 02 F8 62 C5 00 00 C0 7F F8 6C "
             "C1 02 00 F8 6B D1 04 00 02 00 F8 67 | B0"),
     "SourceWidth nan is out of range"},
    {in_page(kImage + " C1 01 00 F8 6D C1 01 00 F8 63 C0 03 F8 65 | B1 FB 02 00 00 B2"),
     "StartLine 1 (expected 0"},
    {in_page(kImage + " C1 00 00 F8 6D C1 03 00 F8 63 C0 03 F8 65 | B1 FB 06 00 00 00 00 00 00 B2"),
     "runs past SourceHeight 2"},
    {in_page(kImage + " | 44"), "EndPage inside the BeginImage at offset"},
    {in_page(kFont + " " + read_char("0D", "FB 0C |")),
     "ReadChar data is 12 bytes; CharDataSize says 13"},
    {in_page(kFont + " " + read_char("0D", "FB 0D | 00 00 FF FF 00 0A 00 08 00 02 AA 55 00")),
     "bitmap character 65 is 8x2 and needs 12 bytes of data; it has 13"},
    {in_page(kFontName + " | 52 C1 41 00 F8 A2 C1 0C 00 F8 A3 53 FB 0C"),
     "BeginChar for font \"abc\", which has no font header"},
    {kHeader + "D1 58 02 58 02 F8 89 41 C0 02 F8 25 | 43",
     "BeginPage outside a data source (expected OpenDataSource first)"},
    {kHeader + "D1 58 02 58 02 F8 89 41 C0 01 F8 82 48 C0 02 F8 25 | 43 "
               "1B 25 2D 31 32 33 34 35 58",
     "BeginPage is not closed (expected EndPage, found the UEL"},
    {in_page("C1 02 00 F8 4D C0 03 F8 50 9B FB 06 | 01 00 02 00 03 00"),
     "LinePath data is 6 bytes; 2 points need 8"},
    {in_page("C9 C0 02 41 00 42 00 F8 AB C8 C0 01 0A F8 AF | A8"),
     "Text with 2 characters of TextData and 1 entries of XSpacingData"},
    {"| 68 65 6C 6C 6F 0A", "expected a PJL line (@PJL ...) or the UEL"},
    {"| 27 20 48 50 2D 50 43 4C 20 58 4C 3B 33 3B 30 3B 0A", "the stream uses the ASCII binding"},
};

TEST(Malformed, IsRejectedWithOffsetAndMessage) {
    for (const MalformedCase &c : kMalformed) {
        SCOPED_TRACE(c.message);
        int64_t mark = -1;
        const Bytes bytes = from_hex(c.stream, &mark);
        ASSERT_GE(mark, 0) << "case without a | mark";
        const Result r = read_bytes(bytes);
        ASSERT_FALSE(r.ok);
        EXPECT_NE(r.error.message.find(c.message), std::string::npos) << r.error.message;
        EXPECT_EQ(r.error.offset, uint64_t(mark)) << r.error.message;
    }
}

} // namespace
