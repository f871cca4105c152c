// Image output: exact pieces of the image sequence, refusals, sink failures,
// and round trips that rebuild every row from the ReadImage blocks.
#include <gtest/gtest.h>

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

// Exact blocks for what the round trip cannot see: whether the caller's
// memory is changed.
TEST(WriteBitmapData, RowsAsSent) {
    const struct {
        const char *name;
        Image im;
        const char *memory, *block, *memory_after;
    } cases[] = {
        {"24-bit exchanged in place",
         {0, 2, 1, 8, 24},
         "01 02 03 04 05 06 EE FF",
         "07 00 A0 03 02 01 06 05 04",
         "03 02 01 06 05 04 EE FF"},
        {"32-bit repacked, memory kept",
         {0, 2, 1, 8, 32},
         "01 02 03 04 05 06 07 08",
         "07 00 A0 03 02 01 07 06 05",
         "01 02 03 04 05 06 07 08"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Capture cap;
        Bytes mem = hex(c.memory);
        EXPECT_EQ(write(c.im, mem.data()), 1);
        const auto &p = cap.pieces();
        ASSERT_EQ(p.size(), 11u);
        EXPECT_TRUE(is_read_image(p[8]));
        EXPECT_EQ(to_hex(p[9]), c.block);
        EXPECT_EQ(to_hex(mem), c.memory_after);
    }
}

TEST(WriteBitmapData, RefusesWhatTheStreamCannotCarry) {
    Bytes data(64 * 1024, 0);
    const struct {
        Image im;
        unsigned char *data;
        const char *message;
    } cases[] = {
        {{0, 4, 1, 4, 16}, data.data(), "16 bits per pixel is not 1, 8, 24 or 32"},
        {{1, 70000, 1, 4, 1}, data.data(), "width 70000 is above 65535"},
        {{0, 4, 65536, 4, 8}, data.data(), "height 65536 is above 65535"},
        {{0, 0, 1, 4, 8}, data.data(), "row size 0 bytes is outside 1..32767"},
        {{0, 10923, 1, 32769, 24}, data.data(), "row size 32769 bytes is outside 1..32767"},
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
    Bytes big(32767, 7), small = hex("10 20 30 40");
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
        {"block data refused",
         9,
         {0, 4, 1, 4, 8},
         &small,
         "pclxl_write_embed_data(): Fatal Error: _dev_write().\n<= pclxl_write_embed_data\n"
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

// Round trip: decode the blocks and compare every row. Returns the
// (start line, height) of each block; a malformed block fails the test.
std::vector<std::pair<unsigned, unsigned>> decode_image(const Capture &cap, size_t row_size,
                                                        std::vector<Bytes> &rows) {
    std::vector<std::pair<unsigned, unsigned>> blocks;
    Bytes seed(row_size, 0);
    const auto &p = cap.pieces();
    for (size_t i = 0; i < p.size(); ++i) {
        if (!is_read_image(p[i]))
            continue;
        const Bytes &h = p[i], &data = p.at(i + 1);
        const unsigned start = h[1] | h[2] << 8, height = h[6] | h[7] << 8;
        const size_t length = h[16] | h[17] << 8 | h[18] << 16 | size_t{h[19]} << 24;
        blocks.emplace_back(start, height);
        EXPECT_EQ(start, rows.size());
        EXPECT_EQ(data.size(), length);
        EXPECT_LE(length, 65537u);
        size_t used = 0;
        for (unsigned r = 0; r < height; ++r) {
            size_t n = pclxl_ref::delta_row_decode(data.data() + used, data.size() - used,
                                                   seed.data(), row_size);
            EXPECT_NE(n, 0u) << "row " << rows.size();
            if (n == 0)
                return blocks;
            used += n;
            rows.push_back(seed);
        }
        EXPECT_EQ(used, data.size()) << "a block holds exactly its rows";
    }
    return blocks;
}

TEST(WriteBitmapData, RoundTripRebuildsEveryRow) {
    using Blocks = std::vector<std::pair<unsigned, unsigned>>;
    const struct {
        const char *name;
        Image im;
        int change_percent;
        Blocks blocks;       // empty: not checked
        unsigned char first; // every byte of the first row (0: random or zero)
    } cases[] = {
        {"1 bpp, many blocks", {1, 200, 3000, 26, 1}, 30, {}, 0},
        {"24 bpp, multi-block", {0, 1000, 300, 3003, 24}, 20, {}, 0},
        {"24 bpp, negative stride", {0, 333, 90, -1000, 24}, 60, {}, 0},
        {"32 bpp, multi-block", {0, 1500, 120, 6000, 32}, 40, {}, 0},
        // 00 00 per row: the block closes after 32767 rows of 65534 bytes.
        {"rows fill a block exactly", {1, 8, 32769, 1, 1}, 0, {{0, 32767}, {32767, 2}}, 0},
        // 5 bytes for the first row, 2 for each further one: after 32764
        // rows the block holds exactly 65535 - 2 * 2 bytes, which is not
        // yet more than the threshold.
        {"a block at the threshold stays open",
         {0, 2, 32766, 2, 8},
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
        // The rows as the stream should carry them: 1-bit rows whole, the
        // others cut to the width, colour as R, G, B.
        std::vector<Bytes> expected;
        for (int32_t r = 0; r < im.height; ++r) {
            const unsigned char *row = mem.data() + first + static_cast<ptrdiff_t>(r) * im.stride;
            Bytes out(row, row + (im.bpp == 1 ? stride : static_cast<size_t>(im.width)));
            if (im.bpp > 8) {
                out.clear();
                for (const unsigned char *px = row; px < row + im.width * (im.bpp / 8);
                     px += im.bpp / 8)
                    out.insert(out.end(), {px[2], px[1], px[0]});
            }
            expected.push_back(out);
        }
        Capture cap;
        ASSERT_EQ(write(im, mem.data() + first), 1);
        std::vector<Bytes> rows;
        Blocks blocks = decode_image(cap, expected.at(0).size(), rows);
        ASSERT_EQ(rows.size(), expected.size());
        for (size_t r = 0; r < expected.size(); ++r)
            ASSERT_EQ(rows[r], expected[r]) << "row " << r;
        EXPECT_EQ(to_hex(cap.pieces().back()), "B2");
        if (!c.blocks.empty()) {
            EXPECT_EQ(blocks, c.blocks);
        }
    }
}

// Read-only memory holding `bytes`: any write to it kills the test.
class ReadOnlyCopy {
  public:
    explicit ReadOnlyCopy(const Bytes &bytes) : size_(bytes.size()) {
        void *p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            std::abort();
        std::memcpy(p, bytes.data(), size_);
        mprotect(p, size_, PROT_READ);
        data_ = static_cast<const unsigned char *>(p);
    }
    ~ReadOnlyCopy() { munmap(const_cast<unsigned char *>(data_), size_); }
    const unsigned char *data() const { return data_; }

  private:
    size_t size_;
    const unsigned char *data_;
};

// The same pixels as the 1.0 call takes them (B,G,R order) and in `format`.
TEST(WritePixels, ReadOnlyRowsGiveTheBytesOfTheInPlaceCall) {
    const struct {
        int32_t format, bpp, width, height;
        bool negative_stride;
    } cases[] = {
        {PCLXL_PIXELS_BITS1, 1, 300, 500, false},  {PCLXL_PIXELS_GRAY8, 8, 999, 150, true},
        {PCLXL_PIXELS_BGR24, 24, 1001, 90, false}, {PCLXL_PIXELS_RGB24, 24, 1001, 90, true},
        {PCLXL_PIXELS_RGB24, 24, 5, 3, false},     {PCLXL_PIXELS_BGRX32, 32, 700, 70, true},
        {PCLXL_PIXELS_RGBX32, 32, 700, 70, false}, {PCLXL_PIXELS_RGBX32, 32, 3, 2, true},
    };
    std::mt19937 rng(7);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        SCOPED_TRACE(c.width);
        const int32_t bytes_pp = c.bpp / 8;
        const size_t stride = c.bpp == 1 ? static_cast<size_t>(c.width + 7) / 8
                                         : static_cast<size_t>(c.width * bytes_pp + 5);
        Bytes bgr(stride * c.height);
        for (size_t i = 0; i < bgr.size(); ++i)
            bgr[i] =
                rng() % 3 ? bgr[i >= stride ? i - stride : i] : static_cast<unsigned char>(rng());
        Bytes mine = bgr;
        if (c.format & 0x100) // R,G,B order: exchange the first and third byte
            for (size_t r = 0; r < static_cast<size_t>(c.height); ++r)
                for (int32_t px = 0; px < c.width; ++px)
                    std::swap(mine[r * stride + px * bytes_pp],
                              mine[r * stride + px * bytes_pp + 2]);
        const size_t first = c.negative_stride ? stride * (c.height - 1) : 0;
        const int32_t step =
            c.negative_stride ? -static_cast<int32_t>(stride) : static_cast<int32_t>(stride);

        Capture expected;
        ASSERT_EQ(pclxl_write_bitmap_data(c.bpp == 1, bgr.data() + first, c.width, c.height, step,
                                          c.bpp, 5, 6, 70, 80),
                  1);
        ReadOnlyCopy ro(mine);
        Capture got;
        ASSERT_EQ(
            pclxl_write_pixels(c.format, ro.data() + first, c.width, c.height, step, 5, 6, 70, 80),
            1);
        EXPECT_EQ(got.pieces(), expected.pieces());
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

} // namespace
