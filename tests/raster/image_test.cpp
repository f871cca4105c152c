// Image output: exact pieces of the image sequence, refusals, sink failures,
// and round trips that rebuild every row from the ReadImage blocks.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <random>
#include <string>

#include "capture.h"
#include "delta_row_reference.h"

using namespace pclxl_test;

namespace {

struct Image {
    int32_t mapping = 0, width = 0, height = 0, stride = 0, bpp = 8;
};

int write(Image im, unsigned char *data) {
    return pclxl_write_bitmap_data(im.mapping, data, im.width, im.height, im.stride, im.bpp, 0, 0,
                                   static_cast<uint16_t>(im.width),
                                   static_cast<uint16_t>(im.height));
}

// The pieces, one " | " between each two.
std::string joined(const Capture &cap) {
    std::string out;
    for (const std::string &p : cap.hex_pieces())
        out += (out.empty() ? "" : " | ") + p;
    return out;
}

bool is_read_image(const Bytes &piece) { return piece.size() == 20 && piece[14] == 0xB1; }

TEST(WriteBitmapData, PiecesOfTheImageSequence) {
    const struct {
        const char *name;
        int32_t mapping, width, height, bpp;
        const char *data, *pieces;
    } cases[] = {
        {"one gray row", 0, 4, 1, 8, "10 20 30 40",
         "D3 64 00 C8 00 F8 4C | 6B | C0 00 F8 64 | C0 02 F8 62 | C1 04 00 F8 6C | "
         "C1 01 00 F8 6B | D1 04 00 01 00 F8 67 | B0 | "
         "C1 00 00 F8 6D C1 01 00 F8 63 C0 03 F8 65 B1 FA 07 00 00 00 | 05 00 60 10 20 30 40 | B2"},
        {"indexed image has a 1-bit depth", 1, 32, 1, 1, "F0 00 00 0F",
         "D3 64 00 C8 00 F8 4C | 6B | C0 01 F8 64 | C0 00 F8 62 | C1 20 00 F8 6C | "
         "C1 01 00 F8 6B | D1 20 00 01 00 F8 67 | B0 | "
         "C1 00 00 F8 6D C1 01 00 F8 63 C0 03 F8 65 B1 FA 06 00 00 00 | 04 00 00 F0 02 0F | B2"},
        {"no rows: begin and end only", 0, 4, 0, 8, nullptr,
         "D3 64 00 C8 00 F8 4C | 6B | C0 00 F8 64 | C0 02 F8 62 | C1 04 00 F8 6C | "
         "C1 00 00 F8 6B | D1 04 00 00 00 F8 67 | B0 | B2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Capture cap;
        Bytes row = c.data ? hex(c.data) : Bytes();
        EXPECT_EQ(pclxl_write_bitmap_data(
                      c.mapping, c.data ? row.data() : nullptr, c.width, c.height, 4, c.bpp, 100,
                      200, static_cast<uint16_t>(c.width), static_cast<uint16_t>(c.height)),
                  1);
        EXPECT_EQ(joined(cap), c.pieces);
    }
}

// Refused images write nothing and are reported in one line; they get 4
// bytes, read past their end only by a fault.
TEST(WriteBitmapData, RefusesWhatTheStreamCannotCarry) {
    Bytes data(4, 0);
    const std::pair<Image, const char *> cases[] = {
        {{0, 4, 1, 4, 16}, "16 bits per pixel is not 1, 8, 24 or 32"},
        {{0, 4, 1, 4, -8}, "-8 bits per pixel is not 1, 8, 24 or 32"},
        {{0, 4, 1, 4, INT32_MAX}, "2147483647 bits per pixel is not 1, 8, 24 or 32"},
        {{0, INT32_MAX, 1, 4, 24}, "width 2147483647 is above 65535"},
        {{0, INT32_MAX, 1, 4, 32}, "width 2147483647 is above 65535"},
        {{1, INT32_MAX, 1, INT32_MAX, 1}, "width 2147483647 is above 65535"},
        {{0, 4, INT32_MAX, 4, 8}, "height 2147483647 is above 65535"},
        {{0, -1, 1, 4, 8}, "row size -1 bytes is outside 1..32767"},
        {{0, INT32_MIN, 1, 4, 8}, "row size -2147483648 bytes is outside 1..32767"},
        {{1, 1, 1, INT32_MIN, 1}, "row size -2147483648 bytes is outside 1..32767"},
        {{1, 1, 1, 32768, 1}, "row size 32768 bytes is outside 1..32767"},
        {{0, 10923, 1, 0, 32}, "row size 32769 bytes is outside 1..32767"},
        {{1, 70000, 1, 4, 1}, "width 70000 is above 65535"},
        {{0, 4, 65536, 4, 8}, "height 65536 is above 65535"},
        {{0, 0, 1, 4, 8}, "row size 0 bytes is outside 1..32767"},
        {{0, 10923, 1, 32769, 24}, "row size 32769 bytes is outside 1..32767"},
        {{1, 8, 2, -1, 1}, "row size -1 bytes is outside 1..32767"},
        {{0, 4, 3, 4, 8}, "image data is NULL for 3 rows"}, // the only one without data
    };
    for (const auto &[im, message] : cases) {
        Capture cap;
        EXPECT_EQ(capture_stderr(
                      [&] { EXPECT_EQ(write(im, im.height == 3 ? nullptr : data.data()), 0); }),
                  std::string("pclxl_write_bitmap_data(): Fatal Error: ") + message + "\n");
        EXPECT_TRUE(cap.pieces().empty()) << message;
    }
    Capture cap;
    EXPECT_EQ(capture_stderr([] {
                  EXPECT_EQ(pclxl_write_pixels(0x108, nullptr, 1, 1, 1, 0, 0, 1, 1), 0);
                  EXPECT_EQ(pclxl_write_pixels(PCLXL_PIXELS_GRAY8, nullptr, 1, 1, 1, 0, 0, 1, 1),
                            0);
              }),
              "pclxl_write_pixels(): Fatal Error: format 0x108 is not a PCLXL_PIXELS_ format\n"
              "pclxl_write_pixels(): Fatal Error: image data is NULL for 1 rows\n");
    EXPECT_TRUE(cap.pieces().empty());
}

// A sink that goes away (uninstalls itself) after a number of pieces.
int pieces_left = 0;
void failing_sink(const void *, unsigned int, const void *) {
    if (--pieces_left == 0)
        gDataOut = nullptr;
}

TEST(WriteBitmapData, ReportsRefusedBlocks) {
    Bytes rows(32767, 7);
    pclxl_init(nullptr, nullptr); // no sink: a block's header refused while rows remain
    EXPECT_EQ(capture_stderr([&] {
                  EXPECT_EQ(write({0, 32767, 1, 32767, 8}, rows.data()), 0);
              }),
              "pclxl_write_bitmap_data(): Fatal Error: failed in pclxl_read_image()\n");
    pieces_left = 9; // the sink goes away with the block's data
    pclxl_init(nullptr, failing_sink);
    EXPECT_EQ(capture_stderr([&] {
                  EXPECT_EQ(write({0, 4, 1, 4, 8}, rows.data()), 0);
              }),
              "pclxl_write_embed_data(): Fatal Error: _dev_write().\n<= pclxl_write_embed_data\n"
              "pclxl_write_bitmap_data(): Fatal Error: _dev_write().\n");
    pclxl_init(nullptr, nullptr);
}

// Round trip: decode the blocks and compare every row with what the stream
// should carry: 1-bit rows whole, the others cut to the width, colour as
// R, G, B. 24-bit rows are exchanged in place; other memory is left alone.
// The same pixels in the case's format, from read-only memory through
// pclxl_write_pixels, give the same pieces.
TEST(WriteBitmapData, RoundTripRebuildsEveryRow) {
    using Blocks = std::vector<std::pair<unsigned, unsigned>>;
    const struct {
        const char *name;
        Image im;
        int32_t format;
        int change_percent;
        Blocks blocks;       // empty: not checked
        unsigned char first; // every byte of the first row (0: random or zero)
    } cases[] = {
        {"1 bpp, many blocks", {1, 200, 3000, 26, 1}, PCLXL_PIXELS_BITS1, 30, {}, 0},
        {"24 bpp, multi-block", {0, 1000, 300, 3003, 24}, PCLXL_PIXELS_BGR24, 20, {}, 0},
        {"24 bpp, negative stride", {0, 333, 90, -1000, 24}, PCLXL_PIXELS_RGB24, 60, {}, 0},
        {"24 bpp, narrow", {0, 5, 3, 16, 24}, PCLXL_PIXELS_RGB24, 50, {}, 0},
        {"32 bpp, multi-block", {0, 1500, 120, 6000, 32}, PCLXL_PIXELS_BGRX32, 40, {}, 0},
        {"32 bpp, narrow", {0, 3, 2, -13, 32}, PCLXL_PIXELS_RGBX32, 50, {}, 0},
        {"32 bpp, wide", {0, 701, 70, 2805, 32}, PCLXL_PIXELS_RGBX32, 40, {}, 0},
        // The largest the stream carries.
        {"widest gray rows, a block each", {0, 32767, 3, 32767, 8}, PCLXL_PIXELS_GRAY8, 30, {}, 0},
        {"widest colour rows", {0, 10922, 2, 32766, 24}, PCLXL_PIXELS_BGR24, 30, {}, 0},
        {"widest 32 bpp, upward", {0, 10922, 2, -43688, 32}, PCLXL_PIXELS_BGRX32, 30, {}, 0},
        {"widest 1-bit rows", {1, 65535, 2, 8192, 1}, PCLXL_PIXELS_BITS1, 30, {}, 0},
        {"the most rows", {1, 8, 65535, 1, 1}, PCLXL_PIXELS_BITS1, 30, {}, 0},
        // 00 00 per row: the block closes after 32767 rows of 65534 bytes.
        {"rows fill a block exactly",
         {1, 8, 32769, 1, 1},
         PCLXL_PIXELS_BITS1,
         0,
         {{0, 32767}, {32767, 2}},
         0},
        // 5 bytes for the first row, 2 for each further one: after 32764
        // rows the block holds exactly 65535 - 2 * 2 bytes, which is not
        // yet more than the threshold.
        {"a block at the threshold stays open",
         {0, 2, 32766, 2, 8},
         PCLXL_PIXELS_GRAY8,
         0,
         {{0, 32765}, {32765, 1}},
         9},
    };
    std::mt19937 rng(2024);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Image im = c.im;
        const size_t stride = static_cast<size_t>(std::abs(im.stride)), span = stride * im.height;
        Bytes mem(span);
        for (size_t i = 0; i < mem.size(); ++i)
            mem[i] = i < stride && c.first ? c.first
                     : static_cast<int>(rng() % 100) < c.change_percent
                         ? static_cast<unsigned char>(rng())
                         : mem[i >= stride ? i - stride : i];
        const size_t first = im.stride < 0 ? span - stride : 0;
        const size_t row_size =
            im.bpp == 1 ? stride : static_cast<size_t>(im.width) * (im.bpp > 8 ? 3 : 1);
        std::vector<Bytes> expected;
        Bytes after = mem, mine = mem;
        for (int32_t r = 0; r < im.height; ++r) {
            const ptrdiff_t at = static_cast<ptrdiff_t>(first) + ptrdiff_t{r} * im.stride;
            expected.emplace_back(after.data() + at, after.data() + at + row_size);
            for (int32_t x = 0; im.bpp > 8 && x < im.width; ++x) {
                unsigned char *px = after.data() + at + x * (im.bpp / 8);
                for (int k = 0; k < 3; ++k)
                    expected.back()[3 * x + k] = px[2 - k];
                if (im.bpp == 24)
                    std::swap(px[0], px[2]);
                if (c.format & 0x100) // R,G,B order
                    std::swap(mine[px - after.data()], mine[px - after.data() + 2]);
            }
        }
        // Read-only memory: any write to it kills the test.
        void *ro = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(ro, MAP_FAILED);
        std::memcpy(ro, mine.data(), span);
        mprotect(ro, span, PROT_READ);
        Capture cap;
        ASSERT_EQ(write(im, mem.data() + first), 1);
        EXPECT_EQ(mem, after);
        {
            Capture got;
            EXPECT_EQ(pclxl_write_pixels(c.format, static_cast<unsigned char *>(ro) + first,
                                         im.width, im.height, im.stride, 0, 0,
                                         static_cast<uint16_t>(im.width),
                                         static_cast<uint16_t>(im.height)),
                      1);
            EXPECT_EQ(got.pieces(), cap.pieces());
        }
        munmap(ro, span);
        Blocks blocks;
        Bytes seed(row_size, 0);
        size_t row = 0;
        const auto &p = cap.pieces();
        for (size_t i = 0; i + 1 < p.size(); ++i) {
            if (!is_read_image(p[i]))
                continue;
            const Bytes &h = p[i], &data = p[i + 1];
            const unsigned start = h[1] | h[2] << 8, height = h[6] | h[7] << 8;
            blocks.emplace_back(start, height);
            ASSERT_EQ(start, row);
            ASSERT_EQ(data.size(), h[16] | h[17] << 8 | h[18] << 16 | size_t{h[19]} << 24);
            size_t used = 0;
            for (unsigned r = 0; r < height; ++r, ++row) {
                size_t n = pclxl_ref::delta_row_decode(data.data() + used, data.size() - used,
                                                       seed.data(), row_size);
                ASSERT_NE(n, 0u) << "row " << row;
                used += n;
                ASSERT_EQ(seed, expected.at(row)) << "row " << row;
            }
            EXPECT_EQ(used, data.size()) << "a block holds exactly its rows";
        }
        EXPECT_EQ(row, expected.size());
        EXPECT_EQ(to_hex(p.back()), "B2");
        if (!c.blocks.empty()) {
            EXPECT_EQ(blocks, c.blocks);
        }
    }
}

} // namespace
