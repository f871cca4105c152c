// Jobs written through the library pass the reader, and their images
// decode to the host's pixels.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "dump_support.h"
#include "job_builder.h"
#include "pclxl.h"
#include "tool_run.h"

namespace {

using namespace dump_test;

struct Picture {
    int mapping, bits, width, height, stride;
    Bytes pixels;   // as the host passes them
    Bytes expected; // rows as the reader must decode them, back to back
};

// Random rows of runs and changes, like real ones; 1-bit pictures are
// indexed, 24- and 32-bit ones come as B,G,R(,x) and decode as R,G,B.
Picture picture(int bits, int w, int h, unsigned seed) {
    const int stride = bits == 1 ? (w + 7) / 8 : w * bits / 8;
    Picture p{bits == 1, bits, w, h, stride, Bytes(size_t(stride) * h), {}};
    std::mt19937 rng(seed);
    for (auto &x : p.pixels)
        x = uint8_t(rng() % 4 == 0 ? rng() : 0x80);
    p.expected = p.pixels;
    if (bits >= 24) {
        p.expected.clear();
        for (size_t i = 0; i < p.pixels.size(); i += size_t(bits / 8))
            p.expected.insert(p.expected.end(), {p.pixels[i + 2], p.pixels[i + 1], p.pixels[i]});
    }
    return p;
}

void draw(Picture p) { // a copy: 24-bit pixels are converted in place
    if (p.mapping == 1)
        pclxl_set_color_space_with_palette(1, 0x000000, 0xFFFFFF);
    else
        pclxl_set_color_space(p.bits == 8 ? 1 : 2);
    ASSERT_EQ(pclxl_write_bitmap_data(p.mapping, p.pixels.data(), p.width, p.height, p.stride,
                                      p.bits, 100, 200, uint16_t(p.width), uint16_t(p.height)),
              1);
}

// Every kind of command the library writes: images of each depth, a bitmap
// font and text, and paths.
TEST(LibraryJobs, PassTheReaderAndImagesDecodeToTheHostsPixels) {
    const std::vector<Picture> pictures = {picture(8, 37, 20, 1), picture(24, 13, 9, 2),
                                           picture(32, 11, 5, 3), picture(1, 21, 7, 4),
                                           // rows of 4000 bytes: several blocks per image
                                           picture(8, 4000, 40, 5)};
    const unsigned char glyph[] = {0xAA, 0x55};
    const _point16 rect[2] = {{10, 20}, {300, 400}};
    const _point16 poly[4] = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
    const _point16 arc[4] = {{0, 0}, {200, 100}, {200, 50}, {0, 50}};
    const short dash[2] = {5, 5};
    const uint16_t codes[2] = {0x41, 0x41};
    const uint8_t spacing[2] = {10, 10};
    const Result r = read_bytes(hostile::build_job([&] {
        for (const Picture &p : pictures)
            draw(p);
        pclxl_set_font_header_for_bitmap("abc", 112, 600, 600);
        pclxl_set_char_for_bitmap("abc", 112, 0x41, glyph, 2, 10, -1, 8, 2);
        pclxl_set_font_for_bitmap("abc", 112, 12.0f);
        pclxl_set_cursorXY(50, 60);
        pclxl_paint_text_for_bitmap(codes, 2, spacing, 2, 0);
        pclxl_remove_font_for_bitmap("abc", 112);
        pclxl_set_line_dash(dash, 2);
        pclxl_add_rect16(rect);
        pclxl_paint_path();
        pclxl_draw_path16(poly, 4);
        pclxl_draw_poly_bezier16(4, poly);
        pclxl_arc16(arc);
        pclxl_set_clip_to_page();
        pclxl_add_comment("note", 4);
    }));
    ASSERT_TRUE(r.ok) << "offset " << r.error.offset << ": " << r.error.message;
    ASSERT_EQ(r.summary.fonts.size(), 1u);
    EXPECT_EQ(r.summary.fonts[0].characters, 1u);
    EXPECT_EQ(r.summary.operator_counts.at("Text"), 1u);
    ASSERT_EQ(r.summary.images.size(), pictures.size());
    EXPECT_GT(r.summary.images.back().blocks, 1u);
    for (size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        Bytes rows;
        for (const Bytes &row : r.recorder.rows.at(i))
            rows.insert(rows.end(), row.begin(), row.end());
        EXPECT_EQ(r.summary.images[i].rows, uint32_t(pictures[i].height));
        EXPECT_EQ(rows, pictures[i].expected);
    }
}

TEST(LibraryJobs, NamedAndCustomMediaSizesPass) {
    const struct {
        const char *media;
        int code;
        const char *size; // as the summary names it; a prefix for custom sizes
    } cases[] = {{"A4", 2, "eA4Paper"}, {"A4", -1, "A4"}, {"CUSTOM", 0, "custom "}};
    for (const auto &c : cases) {
        const Result r = read_bytes(hostile::build_job([&] {
            pclxl_end_page(false, 1);
            pclxl_begin_page(0, 0, "simplex", c.media, c.code, "Plain", 1, 0, 0, 4768.0f, 6816.0f);
        }));
        ASSERT_TRUE(r.ok) << c.media << ": " << r.error.message;
        EXPECT_EQ(r.summary.pages.at(1).media_size.rfind(c.size, 0), 0u)
            << r.summary.pages[1].media_size;
    }
}

// An image that declares 65535x65535 pixels and carries one row gives a PNG
// of that row: work follows the data, not the declared size. (Images that
// pass through `--images` whole are the convert tests' part.)
TEST(LibraryJobs, DumpImagesFollowsTheDataNotTheDeclaredSize) {
    tool_test::TempDir dir;
    const Bytes job = from_hex(in_job(
        "C0 01 F8 03 6A C0 00 F8 64 C0 02 F8 62 C1 FF FF F8 6C C1 FF FF F8 6B D1 04 00 02 00 F8 67 "
        "B0 C1 00 00 F8 6D C1 01 00 F8 63 C0 03 F8 65 B1 FB 02 00 00 B2"));
    tool_test::write_file(dir / "job.pxl", std::string(job.begin(), job.end()));
    ASSERT_EQ(tool_test::run(dir, {"dump", "--images", "png", "job.pxl"}).status, 0);
    int channels = 0;
    EXPECT_EQ(read_png(dir / "png/image-001.png", &channels), Bytes(65535, 0));
}

} // namespace
