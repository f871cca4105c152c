// Malformed jobs: each must be rejected with a message that names what was
// expected, at the offset of the fault (marked `|` in the hex).
#include <gtest/gtest.h>

#include "dump_support.h"

namespace {

using namespace dump_test;

// An 8-bit gray 4x2 image up to BeginImage.
const std::string kImage = "C0 01 F8 03 6A C0 00 F8 64 C0 02 F8 62 C1 04 00 F8 6C C1 02 00 F8 6B "
                           "D1 04 00 02 00 F8 67 B0";
std::string read_image(const char *start, const char *rows, const char *mode,
                       const std::string &length_and_data) {
    return std::string("C1 ") + start + " 00 F8 6D C1 " + rows + " 00 F8 63 C0 " + mode +
           " F8 65 B1 " + length_and_data;
}

// The same image with another SourceWidth value (its bytes).
std::string image_with_width(const char *width) {
    std::string image = kImage;
    image.replace(image.find("C1 04 00 F8 6C"), 8, width);
    return image;
}
std::string read_padded(const char *pad, const std::string &length_and_data) {
    return std::string("C1 00 00 F8 6D C1 01 00 F8 63 C0 01 F8 65 ") + pad + " F8 6E B1 " +
           length_and_data;
}

const std::string kFontName = "C8 C0 03 61 62 63 F8 A8";
const std::string kFontHeader = kFontName + " C0 00 F8 A9 4F C1 12 00 F8 A7 50 FB 12 "
                                            "00 00 00 02 FE 00 03 E8 42 52 00 00 00 04 02 58 02 58";
const std::string kNullSegment = "C1 06 00 F8 A7 50 FB 06 FF FF 00 00 00 00";
const std::string kFont = kFontHeader + " " + kNullSegment + " 51";
std::string read_char(const char *size, const std::string &length_and_data) {
    return kFontName + " 52 C1 41 00 F8 A2 C1 " + size + " 00 F8 A3 53 " + length_and_data + " 54";
}

struct Case {
    const char *name;
    std::string stream;
    const char *message;
};

const Case kCases[] = {
    {"unknown_tag", in_page("| 3A"), "unknown tag 0x3A"},
    {"truncated_scalar", std::string(kHeader) + "| C1 01", "stream ends inside a uint16 value"},
    {"array_without_length", std::string(kHeader) + "C8 | 41",
     "expected the length of the ubyte_array"},
    {"truncated_data_block",
     std::string(kHeader) + "41 C0 01 F8 82 48 C0 02 F8 25 43 " + kImage + " " +
         read_image("00", "01", "03", "FB 07 05 00 60 |"),
     "stream ends inside the data of ReadImage (expected 7 bytes"},
    {"attributes_without_operator", std::string(kHeader) + "| C0 00 F8 28",
     "attributes without an operator"},
    {"value_without_attribute_tag", in_page("| C0 00 7A"),
     "expected an attribute tag (F8) after the value, found operator SetPenWidth"},
    {"data_without_operator", in_page("C0 05 F8 4B | FB 00"), "embedded data without an operator"},
    {"read_image_without_data", in_page(kImage + " " + read_image("00", "01", "03", "| B2")),
     "expected a data length tag (FA or FB) after ReadImage, found operator EndImage"},
    {"delta_row_past_row",
     in_page(kImage + " " + read_image("00", "01", "03", "FB 06 04 00 23 01 | 02 03") + " B2"),
     "past the row's 4 bytes"},
    {"delta_row_past_block",
     in_page(kImage + " " + read_image("00", "01", "03", "FB 04 00 00 | 00 00") + " B2"),
     "delta-row data runs past the block's BlockHeight of 1 row"},
    {"delta_row_block_short",
     in_page(kImage + " " + read_image("00", "02", "03", "FB 02 00 00 |") + " B2"),
     "delta-row block ends after 1 row; BlockHeight says 2"},
    {"uncompressed_length",
     in_page(kImage + " " + read_image("00", "02", "00", "FB 06 | 01 02 03 04 05 06") + " B2"),
     "uncompressed image data is 6 bytes; BlockHeight 2 rows of 4 padded bytes need 8"},
    {"run_length_past_block",
     in_page(kImage + " " + read_image("00", "01", "01", "FB 02 F9 | 00") + " B2"),
     "run-length data runs past the block's BlockHeight of 1 row"},
    // Sizes derived from the stream: rows of no bytes, padding that made
    // the padded row wrap to 0 (a padding of 2 GB is in the fault table),
    // blocks that cannot hold their rows, and a NaN where a size goes.
    {"run_length_zero_width",
     in_page(image_with_width("C1 00 00") + " " + read_image("00", "01", "01", "FB 02 | 81 00")),
     "image data of 2 bytes for rows of 0 bytes (SourceWidth 0)"},
    {"pad_multiple_wraps",
     in_page(kImage + " " + read_padded("C2 FD FF FF FF", "FB 04 | 01 01 02 03")),
     "PadBytesMultiple 4294967293"},
    {"nan_width",
     in_page("C0 01 F8 03 6A C0 00 F8 64 C0 02 F8 62 C5 00 00 C0 7F F8 6C "
             "C1 02 00 F8 6B D1 04 00 02 00 F8 67 | B0"),
     "SourceWidth nan is out of range"},
    {"start_line",
     in_page(kImage + " C1 01 00 F8 6D C1 01 00 F8 63 C0 03 F8 65 | B1 FB 02 00 00 B2"),
     "StartLine 1 (expected 0"},
    {"block_past_source_height",
     in_page(kImage + " C1 00 00 F8 6D C1 03 00 F8 63 C0 03 F8 65 | B1 FB 06 00 00 00 00 00 00 B2"),
     "runs past SourceHeight 2"},
    {"operator_inside_image", in_page(kImage + " | 44"), "EndPage inside the BeginImage at offset"},
    {"char_data_size", in_page(kFont + " " + read_char("0D", "FB 0C |")),
     "ReadChar data is 12 bytes; CharDataSize says 13"},
    {"bitmap_char_size",
     in_page(kFont + " " + read_char("0D", "FB 0D | 00 00 FF FF 00 0A 00 08 00 02 AA 55 00")),
     "bitmap character 65 is 8x2 and needs 12 bytes of data; it has 13"},
    {"char_for_unknown_font", in_page(kFontName + " | 52 C1 41 00 F8 A2 C1 0C 00 F8 A3 53 FB 0C"),
     "BeginChar for font \"abc\", which has no font header"},
    {"page_outside_data_source", std::string(kHeader) + "D1 58 02 58 02 F8 89 41 C0 02 F8 25 | 43",
     "BeginPage outside a data source (expected OpenDataSource first)"},
    {"page_not_closed",
     std::string(kHeader) + "D1 58 02 58 02 F8 89 41 C0 01 F8 82 48 C0 02 F8 25 | 43 "
                            "1B 25 2D 31 32 33 34 35 58",
     "BeginPage is not closed (expected EndPage, found the UEL"},
    {"line_path_points", in_page("C1 02 00 F8 4D C0 03 F8 50 9B FB 06 | 01 00 02 00 03 00"),
     "LinePath data is 6 bytes; 2 points need 8"},
    {"spacing_count", in_page("C9 C0 02 41 00 42 00 F8 AB C8 C0 01 0A F8 AF | A8"),
     "Text with 2 characters of TextData and 1 entries of XSpacingData"},
    {"not_pjl", "| 68 65 6C 6C 6F 0A", "expected a PJL line (@PJL ...) or the UEL"},
    {"ascii_binding", "| 27 20 48 50 2D 50 43 4C 20 58 4C 3B 33 3B 30 3B 0A",
     "the stream uses the ASCII binding"},
};

TEST(Malformed, IsRejectedWithOffsetAndMessage) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
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
