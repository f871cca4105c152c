// pclxl convert and its image decoders (refusals are in job_test.cpp).
#include <gtest/gtest.h>
#include <cstring>
#include <png.h>
#include <random>

#include "image_io.h"
#include "tool_run.h"

using namespace tool_test;
using pclxl_tool::Image;
namespace rd = pclxl_reader;

namespace {

// A PNG one row high of `rows` already laid out for `color_type` and `depth`.
std::vector<uint8_t> make_png(int width, int color_type, int depth, const std::vector<uint8_t> &row,
                              const std::vector<png_color> &palette = {}) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto *v = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(p));
            v->insert(v->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, width, 1, depth, color_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_write_info(png, info);
    png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> bytes(const std::string &s) { return {s.begin(), s.end()}; }

Image gray_image(int width, int height, uint8_t value) {
    Image img;
    img.width = width;
    img.height = height;
    img.pixels.assign(static_cast<size_t>(width) * height, value);
    return img;
}

} // namespace

// 8-bit gray, RGB and 1-bit gray PNGs go through the round trip below.
TEST(ImageDecoders, OtherPngLayoutsBecomeBilevelGrayOrRgb) {
    const std::vector<png_color> rgb = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const std::vector<png_color> grays = {{0, 0, 0}, {77, 77, 77}};
    const std::vector<uint8_t> wide16 = {0xFF, 0xFF, 0x80, 0x80, 0, 0};
    const std::vector<uint8_t> rgba = {200, 100, 0, 0, 200, 100, 0, 255};
    const auto G = Image::Gray, C = Image::Rgb;
    struct Case {
        int width, type, depth;
        std::vector<uint8_t> row;
        Image::Kind kind;
        std::vector<uint8_t> pixels;
        std::vector<png_color> palette;
    };
    const Case kCases[] = {
        {4, PNG_COLOR_TYPE_GRAY, 2, {0x1B}, G, {0, 85, 170, 255}, {}},
        // Alpha is composited on white: 100 at alpha 128 gives 177.
        {3, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0, 0, 0, 255, 100, 128}, G, {255, 0, 177}, {}},
        {3, PNG_COLOR_TYPE_GRAY, 16, wide16, G, {255, 128, 0}, {}},
        {1, PNG_COLOR_TYPE_RGB, 16, wide16, C, {255, 128, 0}, {}},
        {2, PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba, C, {255, 255, 255, 200, 100, 0}, {}},
        {3, PNG_COLOR_TYPE_PALETTE, 2, {0x18}, C, {255, 0, 0, 0, 255, 0, 0, 0, 255}, rgb},
        {2, PNG_COLOR_TYPE_PALETTE, 1, {0x40}, G, {0, 77}, grays},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << " depth " << c.depth);
        Image img;
        std::string error;
        const auto png = make_png(c.width, c.type, c.depth, c.row, c.palette);
        ASSERT_TRUE(pclxl_tool::decode_png(png, img, error)) << error;
        EXPECT_EQ(img.kind, c.kind);
        EXPECT_EQ(img.pixels, c.pixels);
    }
}

TEST(ImageDecoders, PnmFormatsP1ToP6) {
    struct Case {
        std::string pnm;
        Image::Kind kind;
        int width;
        std::vector<uint8_t> pixels;
    };
    const Case kCases[] = {
        {"P1\n# comment\n3 2\n1 0 1\n0 1 0\n", Image::Bilevel, 3, {0, 255, 0, 255, 0, 255}},
        {"P1 3 1 101", Image::Bilevel, 3, {0, 255, 0}},
        {"P2 2 1 15 0 15", Image::Gray, 2, {0, 255}},
        {"P3 1 1 255 10 20 30", Image::Rgb, 1, {10, 20, 30}},
        {std::string("P4\n10 1\n\x80\x40", 10),
         Image::Bilevel,
         10,
         {0, 255, 255, 255, 255, 255, 255, 255, 255, 0}},
        {"P5 2 1 255\n\x07\xF0", Image::Gray, 2, {7, 240}},
        {"P5 2 1 65535\n\xFF\xFF\x80\x80", Image::Gray, 2, {255, 128}},
        {"P6 1 1 255\nabc", Image::Rgb, 1, {'a', 'b', 'c'}},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.pnm);
        Image img;
        std::string error;
        ASSERT_TRUE(pclxl_tool::decode_pnm(bytes(c.pnm), img, error)) << error;
        EXPECT_EQ(img.kind, c.kind);
        EXPECT_EQ(img.width, c.width);
        EXPECT_EQ(img.pixels, c.pixels);
    }
}

TEST(ImageDecoders, RejectCorruptAndTruncatedFiles) {
    const std::vector<uint8_t> png = make_png(16, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint8_t>(16));
    for (size_t cut : {png.size() / 2, size_t(12)}) {
        Image img;
        std::string error;
        EXPECT_FALSE(pclxl_tool::decode_png({png.begin(), png.begin() + cut}, img, error));
        EXPECT_FALSE(error.empty());
    }
    // A header that promises gigabytes is checked against the data before
    // anything is allocated for it (PNG: in the fault table).
    Image img;
    std::string error;
    for (const char *pnm : {"P5 2 2 255\n\x01\x02\x03", "P2 2 1 15 0 16", "P2 0 1 255", "P3 1 1",
                            "P7 1 1 255\n", "P6 65535 65535 255\n", "P2 65535 65535 255 0"}) {
        SCOPED_TRACE(pnm);
        error.clear();
        EXPECT_FALSE(pclxl_tool::decode_pnm(bytes(pnm), img, error));
        EXPECT_FALSE(error.empty());
        if (std::strstr(pnm, "65535")) {
            EXPECT_NE(error.find("65535x65535 pixels need"), std::string::npos) << error;
        }
    }
}

// At --ppi 600 (the job's resolution) every input pixel is one printed
// pixel, and `dump --images` gives the input back exactly.
TEST(Convert, DumpedImagesReproduceTheInputAtTheJobResolution) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (Image::Kind kind : {Image::Gray, Image::Rgb, Image::Bilevel}) {
        SCOPED_TRACE(kind);
        TempDir dir;
        Image in;
        in.kind = kind;
        in.width = 37 + static_cast<int>(random() % 50);
        in.height = 23 + static_cast<int>(random() % 40);
        in.pixels.resize(static_cast<size_t>(in.width) * in.height * in.channels());
        for (uint8_t &p : in.pixels)
            p = kind == Image::Bilevel ? (random() % 2 ? 255 : 0) : static_cast<uint8_t>(random());
        std::string error;
        ASSERT_TRUE(pclxl_tool::save_png(dir / "in.png", in, true, error)) << error;

        ASSERT_EQ(run(dir, {"convert", "--ppi", "600", "in.png", "-o", "job.pxl"}).status, 0);
        const Job job = read_job(dir / "job.pxl");
        ASSERT_TRUE(job.ok) << job.error.message;
        ASSERT_EQ(job.images.size(), 1u);
        EXPECT_EQ(job.images[0].color_mapping,
                  kind == Image::Bilevel ? rd::enums::eIndexedPixel : rd::enums::eDirectPixel);
        EXPECT_EQ(job.images[0].depth, kind == Image::Bilevel ? 1 : 8);

        ASSERT_EQ(mkdir((dir / "images").c_str(), 0755), 0);
        ASSERT_EQ(run(dir, {"dump", "--images", "images", "job.pxl"}).status, 0);
        Image out;
        ASSERT_TRUE(pclxl_tool::load_image(dir / "images/image-001.png", out, error)) << error;
        EXPECT_EQ(out.width, in.width);
        EXPECT_EQ(out.height, in.height);
        EXPECT_EQ(out.channels(), in.channels());
        EXPECT_TRUE(out.pixels == in.pixels);
    }
}

TEST(Convert, PlacesImagesCentredOnThePrintableArea) {
    // A4's printable area is 4768 x 6816 pixels at 600 dpi.
    struct Case {
        std::vector<std::string> args;
        int width, height; // printed size
        int dpi;           // the job's
    };
    const Case kCases[] = {
        {{}, 4768, 2384, 600}, // fit: the width limits
        {{"--ppi", "300"}, 200, 100, 600},
        {{"--dpi", "1200"}, 9536, 4768, 1200},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        TempDir dir;
        std::string error;
        ASSERT_TRUE(pclxl_tool::save_png(dir / "in.png", gray_image(100, 50, 128), false, error));
        std::vector<std::string> args = {"convert", "in.png", "-o", "job.pxl"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ASSERT_EQ(run(dir, args).status, 0);
        const Job job = read_job(dir / "job.pxl");
        ASSERT_TRUE(job.ok);
        const rd::Value *size = job.ops("BeginImage").at(0)->find(rd::attr::DestinationSize);
        EXPECT_EQ(size->number(0), c.width);
        EXPECT_EQ(size->number(1), c.height);
        const rd::Value *at = job.ops("SetCursor").back()->find(rd::attr::Point);
        EXPECT_EQ(at->number(0), (4768 * c.dpi / 600 - c.width) / 2);
        EXPECT_EQ(at->number(1), (6816 * c.dpi / 600 - c.height) / 2);
        const rd::Value *units = job.ops("BeginSession").at(0)->find(rd::attr::UnitsPerMeasure);
        EXPECT_EQ(units->number(0), c.dpi);
    }
}
