// pclxl convert and its image decoders (refusals are in job_test.cpp).
#include <gtest/gtest.h>
#include <png.h>
#include <random>

#include "image_io.h"
#include "tool_run.h"

using namespace tool_test;
using pclxl_tool::Image;
namespace rd = pclxl_reader;

namespace {

// A PNG one row high; 16-bit when `format` is linear.
std::string png(png_uint_32 width, png_uint_32 format, const std::vector<uint16_t> &row,
                const std::vector<uint8_t> &colormap = {}) {
    const std::vector<uint8_t> row8(row.begin(), row.end());
    const void *data = format & PNG_FORMAT_FLAG_LINEAR ? (const void *)row.data() : row8.data();
    const png_uint_32 entries = colormap.size() / 3;
    png_image image{nullptr, PNG_IMAGE_VERSION, width, 1, format, 0, entries, 0, {}};
    png_alloc_size_t size = 1 << 16;
    std::string out(size, '\0');
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, data, 0, colormap.data()));
    return out.substr(0, size);
}

} // namespace

TEST(ImageDecoders, PngAndPnmBecomeBilevelGrayOrRgb) {
    const auto G = Image::Gray, C = Image::Rgb, B = Image::Bilevel;
    const std::string gray = png(16, PNG_FORMAT_GRAY, std::vector<uint16_t>(16));
    const struct {
        std::string file;
        Image::Kind kind;
        std::vector<uint8_t> pixels;
        int width = 0;               // 0: one row
        const char *error = nullptr; // part of the message when it fails
    } kCases[] = {
        // Alpha is composited on white: 100 at alpha 128 gives 177.
        {png(3, PNG_FORMAT_GA, {0, 0, 0, 255, 100, 128}), G, {255, 0, 177}},
        {png(3, PNG_FORMAT_LINEAR_Y, {0xFFFF, 0x8080, 0}), G, {255, 128, 0}},
        {png(1, PNG_FORMAT_RGBA, {200, 100, 0, 0}), C, {255, 255, 255}},
        {png(2, PNG_FORMAT_RGB_COLORMAP, {1, 0}, {0, 0, 255, 9, 9, 9}), C, {9, 9, 9, 0, 0, 255}},
        {png(2, PNG_FORMAT_RGB_COLORMAP, {0, 1}, {0, 0, 0, 77, 77, 77}), G, {0, 77}},
        {"P1\n# comment\n3 2\n1 0 1\n0 1 0\n", B, {0, 255, 0, 255, 0, 255}, 3},
        {"P1 3 1 101", B, {0, 255, 0}},
        {"P2 2 1 15 0 15", G, {0, 255}},
        {"P3 1 1 255 10 20 30", C, {10, 20, 30}},
        {"P4 3 2\n\xA0\x40", B, {0, 255, 0, 255, 0, 255}, 3},
        {"P5 2 1 255\n\x07\xF0", G, {7, 240}},
        {"P5 2 1 65535\n\xFF\xFF\x80\x80", G, {255, 128}},
        {"P6 1 1 255\nabc", C, {'a', 'b', 'c'}},
        // Corrupt and truncated files. A header that promises gigabytes is
        // checked against the data before anything is allocated for it.
        {gray.substr(0, gray.size() / 2), G, {}, 0, ""},
        {gray.substr(0, 12), G, {}, 0, ""},
        {"P5 2 2 255\n\x01\x02\x03", G, {}, 0, ""},
        {"P2 2 1 15 0 16", G, {}, 0, ""},
        {"P2 0 1 255", G, {}, 0, ""},
        {"P3 1 1", G, {}, 0, ""},
        {"P7 1 1 255\n", G, {}, 0, ""},
        {"P2 65535 65535 255 0", G, {}, 0, "65535x65535 pixels need"},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.file.substr(0, 20));
        Image img;
        std::string error;
        ASSERT_EQ(pclxl_tool::decode_image({c.file.begin(), c.file.end()}, img, error), !c.error)
            << error;
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            EXPECT_FALSE(error.empty());
        } else {
            EXPECT_EQ(img.kind, c.kind);
            EXPECT_EQ(img.pixels, c.pixels);
            EXPECT_EQ(img.width, c.width ? c.width : int(c.pixels.size()) / img.channels());
        }
    }
}

// Images are centred on A4's printable area (4768 x 6816 pixels at 600
// dpi), fitted to it unless --ppi is given, and `dump --images` gives the
// input back exactly.
TEST(Convert, PlacesImagesCentredAndDumpGivesThemBack) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const struct {
        Image::Kind kind;
        std::vector<std::string> args;
        int scale; // printed pixels per input pixel; 0: fitted
        int dpi;   // the job's
    } kCases[] = {
        {Image::Gray, {"--ppi", "600"}, 1, 600},
        {Image::Rgb, {"--ppi", "300"}, 2, 600},
        {Image::Bilevel, {"--ppi", "600", "--dpi", "1200"}, 2, 1200},
        {Image::Rgb, {}, 0, 600},
        {Image::Gray, {"--dpi", "1200"}, 0, 1200},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        TempDir dir;
        Image in, out;
        in.kind = c.kind;
        in.width = 37 + static_cast<int>(random() % 50);
        in.height = 23 + static_cast<int>(random() % 40);
        in.pixels.resize(static_cast<size_t>(in.width) * in.height * in.channels());
        for (uint8_t &p : in.pixels)
            p = c.kind == Image::Bilevel ? (random() % 2 ? 255 : 0) : uint8_t(random());
        std::string error;
        ASSERT_TRUE(pclxl_tool::save_png(dir / "in.png", in, true, error)) << error;
        std::vector<std::string> args = {"convert", "in.png"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Job job = make_job(dir, args);
        ASSERT_EQ(job.summary.images.size(), 1u);
        EXPECT_EQ(job.summary.images[0].depth, c.kind == Image::Bilevel ? 1 : 8);
        EXPECT_EQ(job.ops("BeginSession").at(0)->find(rd::attr::UnitsPerMeasure)->number(), c.dpi);
        const int area_w = 4768 * c.dpi / 600, area_h = 6816 * c.dpi / 600;
        const double scale =
            c.scale ? c.scale : std::min(double(area_w) / in.width, double(area_h) / in.height);
        const rd::Value *size = job.ops("BeginImage").at(0)->find(rd::attr::DestinationSize);
        const rd::Value *at = job.ops("SetCursor").back()->find(rd::attr::Point);
        EXPECT_NEAR(size->number(0), in.width * scale, 1);
        EXPECT_NEAR(size->number(1), in.height * scale, 1);
        EXPECT_EQ(at->number(0), (area_w - int(size->number(0))) / 2);
        EXPECT_EQ(at->number(1), (area_h - int(size->number(1))) / 2);

        ASSERT_EQ(run(dir, {"dump", "--images", ".", "job.pxl"}).status, 0);
        ASSERT_TRUE(pclxl_tool::load_image(dir / "image-001.png", out, error)) << error;
        EXPECT_EQ(out.width, in.width);
        EXPECT_EQ(out.channels(), in.channels());
        EXPECT_TRUE(out.pixels == in.pixels);
    }
}
