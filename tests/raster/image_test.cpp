// Image output: exact pieces of the image sequence, refusals, sink failures,
// and round trips that rebuild every row from the ReadImage blocks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "capture.h"
#include "delta_row_reference.h"

using namespace pclxl_test;

namespace {

constexpr const char *kReadImage1Row7 =
    "C1 00 00 F8 6D C1 01 00 F8 63 C0 03 F8 65 B1 FA 07 00 00 00";

struct Image {
    int32_t mapping = 0, width = 0, height = 0, stride = 0, bpp = 8;
};

int write(Image im, unsigned char *data, int16_t x = 0, int16_t y = 0) {
    return pclxl_write_bitmap_data(im.mapping, data, im.width, im.height, im.stride, im.bpp, x, y,
                                   static_cast<uint16_t>(im.width),
                                   static_cast<uint16_t>(im.height));
}

TEST(WriteBitmapData, OneGrayRowPieceByPiece) {
    Capture cap;
    Bytes row = hex("10 20 30 40");
    EXPECT_EQ(pclxl_write_bitmap_data(0, row.data(), 4, 1, 4, 8, 100, 200, 4, 1), 1);
    const std::vector<std::string> expected = {"D3 64 00 C8 00 F8 4C",
                                               "6B",
                                               "C0 00 F8 64",
                                               "C0 02 F8 62",
                                               "C1 04 00 F8 6C",
                                               "C1 01 00 F8 6B",
                                               "D1 04 00 01 00 F8 67",
                                               "B0",
                                               kReadImage1Row7,
                                               "05 00 60 10 20 30 40",
                                               "B2"};
    EXPECT_EQ(cap.hex_pieces(), expected);
}

// The block data of an image: the piece after each ReadImage header.
std::vector<std::string> block_data(const Capture &cap) {
    std::vector<std::string> out;
    const auto &p = cap.pieces();
    for (size_t i = 0; i + 1 < p.size(); ++i)
        if (p[i].size() == 20 && p[i][14] == 0xB1)
            out.push_back(to_hex(p[i + 1]));
    return out;
}

TEST(WriteBitmapData, RowsAsSent) {
    const struct {
        const char *name;
        Image im;
        Bytes memory;
        size_t first_row; // offset of the first row in memory
        std::vector<std::string> blocks;
        const char *memory_after; // nullptr: unchanged
    } cases[] = {
        {"identical rows share a block",
         {0, 4, 2, 4, 8},
         hex("10 20 30 40 10 20 30 40"),
         0,
         {"05 00 60 10 20 30 40 00 00"},
         nullptr},
        {"gray stride wider than the row",
         {0, 2, 2, 4, 8},
         hex("01 02 EE EE 03 04 EE EE"),
         0,
         {"03 00 20 01 02 03 00 20 03 04"},
         nullptr},
        {"1-bit rows send the whole stride",
         {1, 4, 1, 4, 1},
         hex("F0 00 00 0F"),
         0,
         {"04 00 00 F0 02 0F"},
         nullptr},
        {"24-bit exchanged in place",
         {0, 2, 1, 8, 24},
         hex("01 02 03 04 05 06 EE FF"),
         0,
         {"07 00 A0 03 02 01 06 05 04"},
         "03 02 01 06 05 04 EE FF"},
        {"32-bit repacked, memory kept",
         {0, 2, 1, 8, 32},
         hex("01 02 03 04 05 06 07 08"),
         0,
         {"07 00 A0 03 02 01 07 06 05"},
         nullptr},
        {"negative stride reads upwards",
         {0, 4, 2, -4, 8},
         hex("A1 A2 A3 A4 10 20 30 40"),
         4,
         {"05 00 60 10 20 30 40 05 00 60 A1 A2 A3 A4"},
         nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Capture cap;
        Bytes mem = c.memory;
        EXPECT_EQ(write(c.im, mem.data() + c.first_row), 1);
        EXPECT_EQ(block_data(cap), c.blocks);
        EXPECT_EQ(to_hex(mem), to_hex(c.memory_after ? hex(c.memory_after) : c.memory));
    }
}

TEST(WriteBitmapData, IndexedImageHasOneBitDepth) {
    Capture cap;
    Bytes row = hex("F0 00 00 0F");
    ASSERT_EQ(write({1, 32, 1, 4, 1}, row.data()), 1);
    EXPECT_EQ(to_hex(cap.pieces().at(2)), "C0 01 F8 64");
    EXPECT_EQ(to_hex(cap.pieces().at(3)), "C0 00 F8 62");
}

TEST(WriteBitmapData, NoRowsGivesBeginAndEndOnly) {
    Capture cap;
    EXPECT_EQ(pclxl_write_bitmap_data(0, nullptr, 4, 0, 4, 8, 0, 0, 4, 0), 1);
    ASSERT_EQ(cap.pieces().size(), 9u);
    EXPECT_EQ(to_hex(cap.pieces()[5]), "C1 00 00 F8 6B");
    EXPECT_EQ(to_hex(cap.pieces()[7]), "B0");
    EXPECT_EQ(to_hex(cap.pieces()[8]), "B2");
}

TEST(WriteBitmapData, RefusesWhatTheStreamCannotCarry) {
    Bytes data(64 * 1024, 0);
    const struct {
        Image im;
        unsigned char *data;
        const char *message;
    } cases[] = {
        {{0, 4, 1, 4, 16}, data.data(), "16 bits per pixel is not 1, 8, 24 or 32"},
        {{0, 4, 1, 4, 0}, data.data(), "0 bits per pixel is not 1, 8, 24 or 32"},
        {{1, 70000, 1, 4, 1}, data.data(), "width 70000 is above 65535"},
        {{0, 4, 65536, 4, 8}, data.data(), "height 65536 is above 65535"},
        {{0, 0, 1, 4, 8}, data.data(), "row size 0 bytes is outside 1..32767"},
        {{0, 32768, 1, 32768, 8}, data.data(), "row size 32768 bytes is outside 1..32767"},
        {{0, 10923, 1, 32769, 24}, data.data(), "row size 32769 bytes is outside 1..32767"},
        {{1, 8, 1, 0, 1}, data.data(), "row size 0 bytes is outside 1..32767"},
        {{1, 8, 2, -1, 1}, data.data(), "row size -1 bytes is outside 1..32767"},
        {{0, 4, 3, 4, 8}, nullptr, "image data is NULL for 3 rows"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        Capture cap;
        int result = -1;
        std::string err = capture_stderr([&] { result = write(c.im, c.data); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(err, std::string("pclxl_write_bitmap_data(): Fatal Error: ") + c.message + "\n");
        EXPECT_TRUE(cap.pieces().empty());
    }
}

// A sink that stops accepting (uninstalls itself) after a number of pieces.
struct FailingSink {
    static inline int left = 0;
    static void write(const void *, unsigned int, const void *) {
        if (--left == 0)
            gDataOut = nullptr;
    }
};

TEST(WriteBitmapData, ReportsRefusedBlocks) {
    Bytes big(32767, 7);
    Bytes small = hex("10 20 30 40");
    const struct {
        const char *name;
        int pieces_accepted; // before the sink goes away; -1: no sink at all
        Image im;
        Bytes *data;
        const char *expected;
    } cases[] = {
        {"header refused while rows remain",
         -1,
         {0, 32767, 1, 32767, 8},
         &big,
         "pclxl_write_bitmap_data(): Fatal Error: failed in pclxl_read_image()\n"},
        {"header of the last block refused",
         -1,
         {0, 4, 1, 4, 8},
         &small,
         "pclxl_write_bitmap_data(): Fatal Error: failed in _pclxl_read_image()\n"},
        {"block data refused",
         9,
         {0, 4, 1, 4, 8},
         &small,
         "pclxl_write_embed_data(): Fatal Error: _dev_write().\n"
         "<= pclxl_write_embed_data\n"
         "pclxl_write_bitmap_data(): Fatal Error: _dev_write().\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FailingSink::left = c.pieces_accepted;
        pclxl_init(nullptr, c.pieces_accepted < 0 ? nullptr : &FailingSink::write);
        int result = -1;
        std::string err = capture_stderr([&] { result = write(c.im, c.data->data()); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(err, c.expected);
    }
    pclxl_init(nullptr, nullptr);
}

TEST(ReadImage, HeaderInOnePieceWithSinkResult) {
    {
        Capture cap;
        EXPECT_EQ(pclxl_read_image(0, 1, 3, 7), 1);
        EXPECT_EQ(cap.hex_pieces(), std::vector<std::string>{kReadImage1Row7});
        cap.clear();
        pclxl_read_image(0x1234, 0xABCD, 9, 0x01020304);
        EXPECT_EQ(cap.hex_pieces(),
                  std::vector<std::string>{
                      "C1 34 12 F8 6D C1 CD AB F8 63 C0 09 F8 65 B1 FA 04 03 02 01"});
    }
    EXPECT_EQ(pclxl_read_image(0, 1, 3, 7), 0); // no sink installed
}

TEST(ImageOperations, EmbedDataAndEndImage) {
    Capture cap;
    Bytes d = hex("01 02 03");
    EXPECT_EQ(pclxl_write_embed_data(d.data(), 3), 1);
    EXPECT_EQ(pclxl_end_image(), 1);
    EXPECT_EQ(pclxl_begin_image(1, -1, 2, 3, 4, 5, 6), 1);
    const std::vector<std::string> expected = {"01 02 03",
                                               "B2",
                                               "D3 FF FF 02 00 F8 4C",
                                               "6B",
                                               "C0 01 F8 64",
                                               "C0 00 F8 62",
                                               "C1 05 00 F8 6C",
                                               "C1 06 00 F8 6B",
                                               "D1 03 00 04 00 F8 67",
                                               "B0"};
    EXPECT_EQ(cap.hex_pieces(), expected);
}

// ---------------------------------------------------------------------
// Round trip: decode the blocks and compare every row.
// ---------------------------------------------------------------------

struct Decoded {
    std::vector<Bytes> rows;
    std::vector<std::pair<unsigned, unsigned>> blocks; // start_line, block_height
    bool ok = true;
};

Decoded decode_image(const Capture &cap, size_t row_size) {
    Decoded d;
    Bytes seed(row_size, 0);
    const auto &p = cap.pieces();
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i].size() != 20 || p[i][14] != 0xB1)
            continue;
        const Bytes &h = p[i];
        const unsigned start = h[1] | h[2] << 8, height = h[6] | h[7] << 8;
        const size_t length = h[16] | h[17] << 8 | h[18] << 16 | size_t{h[19]} << 24;
        d.blocks.emplace_back(start, height);
        const Bytes &data = p.at(i + 1);
        if (start != d.rows.size() || data.size() != length || length > 65537)
            d.ok = false;
        size_t used = 0;
        for (unsigned r = 0; r < height && d.ok; ++r) {
            size_t n = pclxl_ref::delta_row_decode(data.data() + used, data.size() - used,
                                                   seed.data(), row_size);
            if (n == 0)
                d.ok = false;
            used += n;
            d.rows.push_back(seed);
        }
        if (used != data.size())
            d.ok = false; // a block holds exactly its rows
    }
    return d;
}

// The rows as the stream should carry them, by depth.
std::vector<Bytes> expected_rows(const Bytes &mem, size_t first, Image im) {
    std::vector<Bytes> rows;
    for (int32_t r = 0; r < im.height; ++r) {
        const unsigned char *row = mem.data() + first + static_cast<ptrdiff_t>(r) * im.stride;
        Bytes out;
        switch (im.bpp) {
        case 1: out.assign(row, row + im.stride); break;
        case 8: out.assign(row, row + im.width); break;
        default:
            for (int32_t x = 0; x < im.width; ++x) {
                const unsigned char *px = row + x * (im.bpp / 8);
                out.insert(out.end(), {px[2], px[1], px[0]});
            }
        }
        rows.push_back(out);
    }
    return rows;
}

TEST(WriteBitmapData, RoundTripRebuildsEveryRow) {
    const struct {
        const char *name;
        Image im;
        int change_percent;
    } cases[] = {
        {"1 bpp, many blocks", {1, 200, 3000, 26, 1}, 30},
        {"8 bpp, small", {0, 13, 7, 16, 8}, 50},
        {"8 bpp, multi-block", {0, 3000, 200, 3001, 8}, 100},
        {"24 bpp, multi-block", {0, 1000, 300, 3003, 24}, 20},
        {"24 bpp, negative stride", {0, 333, 90, -1000, 24}, 60},
        {"32 bpp, multi-block", {0, 1500, 120, 6000, 32}, 40},
        {"32 bpp, negative stride", {0, 17, 40, -70, 32}, 100},
        {"one row per block (S = 32767)", {0, 32767, 3, 32767, 8}, 50},
        {"rows fill a block exactly", {1, 8, 32769, 1, 1}, 0},
    };
    std::mt19937 rng(2024);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Image im = c.im;
        const size_t span = static_cast<size_t>(std::abs(im.stride)) * im.height;
        Bytes mem(span);
        for (size_t i = 0; i < mem.size(); ++i) {
            const size_t above = i >= static_cast<size_t>(std::abs(im.stride))
                                     ? i - static_cast<size_t>(std::abs(im.stride))
                                     : i;
            mem[i] = static_cast<int>(rng() % 100) < c.change_percent
                         ? static_cast<unsigned char>(rng())
                         : mem[above];
        }
        const size_t first = im.stride < 0 ? span - static_cast<size_t>(-im.stride) : 0;
        const std::vector<Bytes> expected = expected_rows(mem, first, im);

        Capture cap;
        ASSERT_EQ(write(im, mem.data() + first), 1);
        const size_t row_size = expected.at(0).size();
        Decoded d = decode_image(cap, row_size);
        EXPECT_TRUE(d.ok);
        ASSERT_EQ(d.rows.size(), expected.size());
        for (size_t r = 0; r < expected.size(); ++r)
            ASSERT_EQ(d.rows[r], expected[r]) << "row " << r;
        EXPECT_EQ(to_hex(cap.pieces().back()), "B2");
        using Blocks = std::vector<std::pair<unsigned, unsigned>>;
        if (im.width == 32767) {
            EXPECT_EQ(d.blocks, (Blocks{{0, 1}, {1, 1}, {2, 1}}));
        }
        if (im.bpp == 1 && im.stride == 1) {
            // 00 00 per row: the block closes after 32767 rows of 65534 bytes.
            EXPECT_EQ(d.blocks, (Blocks{{0, 32767}, {32767, 2}}));
        }
    }
}

} // namespace
