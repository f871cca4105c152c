// The printer application's driver core: full-sheet rows in, a job out,
// read back with the reader and painted onto a sheet to compare with what
// went in.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "page_writer.h"
#include "reader.h"

namespace {

using pclxl_app::Pixels;

bool append(const void *data, size_t length, void *context) {
    static_cast<std::string *>(context)->append(static_cast<const char *>(data), length);
    return true;
}

struct Case {
    const char *name;
    Pixels pixels;
    bool color_job;
    unsigned width, height, resolution;
    int margin; // hundredths of a millimetre, every side
    bool area_only;
    unsigned skip_from, skip_to; // rows not written (print white)
};
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

// The test sheet: a pattern that differs in every channel, row and column.
unsigned char sample(unsigned x, unsigned y, int channel) {
    return static_cast<unsigned char>((x * 7 + y * 13 + channel * 85) & 0xFF);
}

// One page of the test sheet as the driver writes it.
std::string write_job(const Case &c, const std::string &name = "") {
    std::string job;
    pclxl_app::PageWriter writer(append, &job, nullptr, nullptr);
    pclxl_host::Job js;
    js.color = c.color_job;
    js.title = name;
    writer.start_job(js);
    pclxl_app::PageSetup page;
    page.width = c.width;
    page.height = c.height;
    page.resolution_x = page.resolution_y = c.resolution;
    page.pixels = c.pixels;
    page.margin_left = page.margin_top = page.margin_right = page.margin_bottom = c.margin;
    page.printable_area_only = c.area_only;
    EXPECT_TRUE(writer.start_page(page));
    const int channels = c.pixels == Pixels::Rgb ? 3 : 1;
    std::vector<unsigned char> row(size_t{c.width} * channels);
    for (unsigned y = 0; y < c.height; y++) {
        for (unsigned x = 0; x < c.width; x++)
            for (int k = 0; k < channels; k++)
                row[x * channels + k] = sample(x, y, k);
        if (y < c.skip_from || y >= c.skip_to) {
            EXPECT_TRUE(writer.write_row(y, row.data()));
        }
    }
    EXPECT_TRUE(writer.end_page(false));
    EXPECT_TRUE(writer.end_job());
    return job;
}

// Paints every image of the job onto RGB sheets (white at the start) at its
// place: page origin + cursor. Images are sent at the session resolution,
// one source pixel per unit.
struct Painter : pclxl_reader::Listener {
    unsigned width, height;
    std::vector<std::vector<unsigned char>> sheets;
    int64_t origin[2] = {0, 0}, cursor[2] = {0, 0};

    Painter(unsigned w, unsigned h) : width(w), height(h) {}
    void command(const pclxl_reader::Command &c) override {
        namespace op = pclxl_reader::op;
        namespace attr = pclxl_reader::attr;
        if (c.op == op::BeginPage)
            sheets.emplace_back(size_t{width} * height * 3, 0xFF);
        for (int i = 0; i < 2; i++) {
            if (c.op == op::SetPageOrigin)
                origin[i] = c.find(attr::PageOrigin)->integer(i);
            if (c.op == op::SetCursor)
                cursor[i] = c.find(attr::Point)->integer(i);
        }
    }
    void image_row(const pclxl_reader::ImageInfo &image, uint32_t row,
                   const uint8_t *pixels) override {
        const int64_t y = origin[1] + cursor[1] + row;
        for (uint32_t i = 0; i < image.width; i++) {
            const int64_t x = origin[0] + cursor[0] + i;
            ASSERT_TRUE(x >= 0 && y >= 0 && x < width && y < height)
                << "outside at " << x << "," << y;
            for (int k = 0; k < 3; k++)
                sheets.back()[(y * width + x) * 3 + k] =
                    pixels[i * image.components + (image.components == 3 ? k : 0)];
        }
    }
};

class Placement : public testing::TestWithParam<Case> {};

// Every pixel inside the printable area lands where it was on the sheet, in
// its colour; the margins and rows never written stay white.
TEST_P(Placement, SheetComesBackInPlace) {
    const Case &c = GetParam();
    const std::string job = write_job(c);
    const unsigned m = static_cast<unsigned>((c.margin * c.resolution + 1270) / 2540);
    // With area-only rasters, the margins surround the raster.
    const unsigned sheet_w = c.width + (c.area_only ? 2 * m : 0);
    const unsigned sheet_h = c.height + (c.area_only ? 2 * m : 0);
    Painter painter(sheet_w, sheet_h);
    pclxl_reader::Source source(job.data(), job.size());
    pclxl_reader::Summary summary;
    pclxl_reader::Error error;
    ASSERT_TRUE(pclxl_reader::read_job(source, painter, summary, error))
        << error.message << " at " << error.offset;
    ASSERT_EQ(painter.sheets.size(), 1u);
    for (unsigned y = 0; y < sheet_h; y++) {
        for (unsigned x = 0; x < sheet_w; x++) {
            // The source pixel for this spot of the sheet.
            const unsigned sx = c.area_only ? x - m : x, sy = c.area_only ? y - m : y;
            const unsigned char r = sample(sx, sy, 0), g = sample(sx, sy, 1), b = sample(sx, sy, 2);
            unsigned char want[3] = {0xFF, 0xFF, 0xFF};
            if (x >= m && y >= m && x < sheet_w - m && y < sheet_h - m &&
                (sy < c.skip_from || sy >= c.skip_to)) {
                const bool rgb = c.pixels == Pixels::Rgb;
                const unsigned char v =
                    rgb ? static_cast<unsigned char>((30 * r + 59 * g + 11 * b) / 100)
                    : c.pixels == Pixels::Black ? static_cast<unsigned char>(255 - r)
                                                : r;
                want[0] = rgb && c.color_job ? r : v;
                want[1] = rgb && c.color_job ? g : v;
                want[2] = rgb && c.color_job ? b : v;
            }
            const unsigned char *got = &painter.sheets[0][(size_t{y} * sheet_w + x) * 3];
            ASSERT_EQ(std::vector<int>(want, want + 3), std::vector<int>(got, got + 3))
                << "at " << x << "," << y;
        }
    }
}

const Case kCases[] = {
    {"gray", Pixels::Gray, false, 300, 400, 300, 423, false, 0, 0},
    {"rgb", Pixels::Rgb, true, 301, 257, 600, 423, false, 0, 0},
    {"rgb_to_gray", Pixels::Rgb, false, 200, 150, 300, 423, false, 0, 0},
    {"black", Pixels::Black, false, 180, 90, 300, 100, false, 0, 0},
    {"area_only", Pixels::Rgb, true, 120, 80, 300, 423, true, 0, 0},
    // Rows over 32767 bytes go out in strips of whole pixels.
    {"wide_rgb", Pixels::Rgb, true, 11000, 6, 1200, 0, false, 0, 0},
    // Bands of 512 KB: rows missing in the middle of one, and at its end.
    {"gap", Pixels::Gray, false, 4000, 300, 600, 423, false, 100, 140},
    {"gap_at_end", Pixels::Gray, false, 4000, 300, 600, 423, false, 250, 400},
};
INSTANTIATE_TEST_SUITE_P(App, Placement, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case> &info) { return info.param.name; });

// Jobs for different printers run at the same time, each with its own
// writer: every one comes out exactly as when it runs alone.
TEST(App, ConcurrentJobsDoNotMix) {
    const std::string alone[2] = {write_job(kCases[1], "a"), write_job(kCases[1], "b")};
    std::vector<std::string> out(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < out.size(); i++)
        threads.emplace_back([&out, i] { out[i] = write_job(kCases[1], i % 2 ? "b" : "a"); });
    for (auto &t : threads)
        t.join();
    for (size_t i = 0; i < out.size(); i++)
        EXPECT_TRUE(out[i] == alone[i % 2]) << "job " << i;
}

// Nothing at all is written for a job without pages, and a page the printer
// cannot take is refused before anything is written.
TEST(App, NoPageNoBytes) {
    std::string job;
    pclxl_app::PageWriter writer(append, &job, nullptr, nullptr);
    pclxl_host::Job gray;
    gray.color = false;
    writer.start_job(gray);
    pclxl_app::PageSetup wide, tall;
    wide.width = wide.height = tall.width = 100;
    wide.margin_left = wide.margin_right = 30000; // wider than the sheet
    tall.height = 40000;                          // beyond the printer's coordinates
    EXPECT_FALSE(writer.start_page(wide));
    EXPECT_FALSE(writer.start_page(tall));
    EXPECT_TRUE(writer.end_job());
    EXPECT_TRUE(job.empty());
}

} // namespace
