// The printer application's driver core: full-sheet rows in, a job out,
// read back with the reader and painted onto a sheet to compare with what
// went in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "page_writer.h"
#include "reader.h"

namespace {

using pclxl_app::JobSetup;
using pclxl_app::PageSetup;
using pclxl_app::PageWriter;
using pclxl_app::Pixels;

bool append(const void *data, size_t length, void *context) {
    auto *out = static_cast<std::string *>(context);
    out->append(static_cast<const char *>(data), length);
    return true;
}

// Paints every image of the job onto sheets of RGB pixels (white at the
// start), at its place: page origin + cursor. Images are sent at the
// session resolution, one source pixel per unit.
struct Painter : pclxl_reader::Listener {
    unsigned width, height;
    std::vector<std::vector<unsigned char>> sheets;
    std::vector<std::string> pjl;
    std::vector<unsigned> page_copies;
    int origin_x = 0, origin_y = 0, cursor_x = 0, cursor_y = 0;

    Painter(unsigned w, unsigned h) : width(w), height(h) {}
    void pjl_line(uint64_t, const std::string &line) override { pjl.push_back(line); }
    void command(const pclxl_reader::Command &c) override {
        namespace op = pclxl_reader::op;
        namespace attr = pclxl_reader::attr;
        if (c.op == op::BeginPage)
            sheets.emplace_back(size_t{width} * height * 3, 0xFF);
        if (c.op == op::SetPageOrigin) {
            origin_x = static_cast<int>(c.find(attr::PageOrigin)->integer(0));
            origin_y = static_cast<int>(c.find(attr::PageOrigin)->integer(1));
        }
        if (c.op == op::SetCursor) {
            cursor_x = static_cast<int>(c.find(attr::Point)->integer(0));
            cursor_y = static_cast<int>(c.find(attr::Point)->integer(1));
        }
        if (c.op == op::EndPage)
            page_copies.push_back(static_cast<unsigned>(c.find(attr::PageCopies)->integer()));
    }
    void image_row(const pclxl_reader::ImageInfo &image, uint32_t row,
                   const uint8_t *pixels) override {
        const int y = origin_y + cursor_y + static_cast<int>(row);
        for (uint32_t i = 0; i < image.width; i++) {
            const int x = origin_x + cursor_x + static_cast<int>(i);
            ASSERT_TRUE(x >= 0 && y >= 0 && x < static_cast<int>(width) &&
                        y < static_cast<int>(height))
                << "pixel outside the sheet at " << x << "," << y;
            unsigned char *d = &sheets.back()[(size_t{static_cast<unsigned>(y)} * width + x) * 3];
            for (int k = 0; k < 3; k++)
                d[k] = pixels[i * image.components + (image.components == 3 ? k : 0)];
        }
    }
};

Painter read_back(const std::string &job, unsigned width, unsigned height) {
    Painter painter(width, height);
    pclxl_reader::Source source(job.data(), job.size());
    pclxl_reader::Summary summary;
    pclxl_reader::Error error;
    EXPECT_TRUE(pclxl_reader::read_job(source, painter, summary, error))
        << error.message << " at " << error.offset;
    return painter;
}

// The test sheet: a pattern that differs in every channel, row and column.
unsigned char sample(unsigned x, unsigned y, int channel) {
    return static_cast<unsigned char>((x * 7 + y * 13 + channel * 85) & 0xFF);
}

std::vector<unsigned char> sheet_row(Pixels pixels, unsigned width, unsigned y) {
    std::vector<unsigned char> row;
    for (unsigned x = 0; x < width; x++) {
        if (pixels == Pixels::Rgb)
            for (int k = 0; k < 3; k++)
                row.push_back(sample(x, y, k));
        else
            row.push_back(sample(x, y, 0));
    }
    return row;
}

// What must arrive on the sheet for a sent pixel.
void expected_rgb(Pixels pixels, bool color_job, unsigned x, unsigned y, unsigned char out[3]) {
    const unsigned char r = sample(x, y, 0), g = sample(x, y, 1), b = sample(x, y, 2);
    if (pixels == Pixels::Rgb && color_job) {
        out[0] = r, out[1] = g, out[2] = b;
        return;
    }
    unsigned char v = pixels == Pixels::Rgb
                          ? static_cast<unsigned char>((30 * r + 59 * g + 11 * b) / 100)
                      : pixels == Pixels::Black ? static_cast<unsigned char>(255 - r)
                                                : r;
    out[0] = out[1] = out[2] = v;
}

struct PlacementCase {
    const char *name;
    Pixels pixels;
    bool color_job;
    unsigned width, height, resolution;
    int margin; // hundredths of a millimetre, every side
    bool area_only;
    unsigned skip_from, skip_to; // rows not written (print white)
};

void PrintTo(const PlacementCase &c, std::ostream *os) { *os << c.name; }

class Placement : public testing::TestWithParam<PlacementCase> {};

// Every pixel inside the printable area lands where it was on the sheet, in
// its colour; the margins and rows never written stay white.
TEST_P(Placement, SheetComesBackInPlace) {
    const PlacementCase &c = GetParam();
    std::string job;
    PageWriter writer(append, &job, nullptr, nullptr);
    JobSetup js;
    js.color = c.color_job;
    writer.start_job(js);
    PageSetup page;
    page.width = c.width;
    page.height = c.height;
    page.resolution_x = page.resolution_y = c.resolution;
    page.pixels = c.pixels;
    page.margin_left = page.margin_top = page.margin_right = page.margin_bottom = c.margin;
    page.printable_area_only = c.area_only;
    ASSERT_TRUE(writer.start_page(page));
    for (unsigned y = 0; y < c.height; y++) {
        if (y >= c.skip_from && y < c.skip_to)
            continue;
        ASSERT_TRUE(writer.write_row(y, sheet_row(c.pixels, c.width, y).data()));
    }
    ASSERT_TRUE(writer.end_page(false));
    ASSERT_TRUE(writer.end_job());

    const unsigned m = static_cast<unsigned>((c.margin * c.resolution + 1270) / 2540);
    // The sheet the printer sees: with area-only rasters, the margins
    // surround the raster.
    const unsigned sheet_w = c.area_only ? c.width + 2 * m : c.width;
    const unsigned sheet_h = c.area_only ? c.height + 2 * m : c.height;
    Painter painter = read_back(job, sheet_w, sheet_h);
    ASSERT_EQ(painter.sheets.size(), 1u);
    const std::vector<unsigned char> &sheet = painter.sheets[0];
    for (unsigned y = 0; y < sheet_h; y++) {
        for (unsigned x = 0; x < sheet_w; x++) {
            // Source pixel for this spot of the sheet.
            const unsigned sx = c.area_only ? x - m : x, sy = c.area_only ? y - m : y;
            const bool printable = x >= m && y >= m && x < sheet_w - m && y < sheet_h - m;
            const bool written = sy < c.skip_from || sy >= c.skip_to;
            unsigned char want[3] = {0xFF, 0xFF, 0xFF};
            if (printable && written)
                expected_rgb(c.pixels, c.color_job, sx, sy, want);
            const unsigned char *got = &sheet[(size_t{y} * sheet_w + x) * 3];
            ASSERT_TRUE(std::memcmp(got, want, 3) == 0)
                << "at " << x << "," << y << ": got " << int{got[0]} << "," << int{got[1]} << ","
                << int{got[2]} << " want " << int{want[0]} << "," << int{want[1]} << ","
                << int{want[2]};
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    App, Placement,
    testing::Values(
        PlacementCase{"gray", Pixels::Gray, false, 300, 400, 300, 423, false, 0, 0},
        PlacementCase{"rgb", Pixels::Rgb, true, 301, 257, 600, 423, false, 0, 0},
        PlacementCase{"rgb_to_gray", Pixels::Rgb, false, 200, 150, 300, 423, false, 0, 0},
        PlacementCase{"black", Pixels::Black, false, 180, 90, 300, 100, false, 0, 0},
        PlacementCase{"no_margins", Pixels::Gray, false, 64, 64, 300, 0, false, 0, 0},
        PlacementCase{"area_only", Pixels::Rgb, true, 120, 80, 300, 423, true, 0, 0},
        // Rows over 32767 bytes go out in strips of whole pixels.
        PlacementCase{"wide_rgb", Pixels::Rgb, true, 11000, 6, 1200, 0, false, 0, 0},
        // Bands of 512 KB: rows missing in the middle of one, and at its end.
        PlacementCase{"gap", Pixels::Gray, false, 4000, 300, 600, 423, false, 100, 140},
        PlacementCase{"gap_at_end", Pixels::Gray, false, 4000, 300, 600, 423, false, 250, 400}),
    [](const testing::TestParamInfo<PlacementCase> &info) { return info.param.name; });

struct CopiesCase {
    const char *name;
    unsigned copies;
    bool collate;
    bool cancel_second;
    const char *pjl_copies, *pjl_qty;
    std::vector<unsigned> page_copies;
};

void PrintTo(const CopiesCase &c, std::ostream *os) { *os << c.name; }

class Copies : public testing::TestWithParam<CopiesCase> {};

// Copies go into the PJL header and the pages exactly once; a cancelled
// page prints once and still ends a well-formed job.
TEST_P(Copies, HeaderAndPagesAgree) {
    const CopiesCase &c = GetParam();
    std::string job;
    {
        PageWriter writer(append, &job, nullptr, nullptr);
        JobSetup js;
        js.copies = c.copies;
        js.collate = c.collate;
        writer.start_job(js);
        PageSetup page;
        page.width = page.height = 40;
        page.resolution_x = page.resolution_y = 300;
        std::vector<unsigned char> black(40, 0);
        for (int p = 0; p < 2; p++) {
            ASSERT_TRUE(writer.start_page(page));
            for (unsigned y = 0; y < (p == 1 && c.cancel_second ? 10u : 40u); y++)
                writer.write_row(y, black.data());
            writer.end_page(p == 1 && c.cancel_second);
        }
        // The destructor ends the job.
    }
    Painter painter = read_back(job, 40, 40);
    EXPECT_EQ(painter.page_copies, c.page_copies);
    const auto &pjl = painter.pjl;
    for (std::string line :
         {std::string("@PJL SET COPIES=") + c.pjl_copies, std::string("@PJL SET QTY=") + c.pjl_qty})
        EXPECT_NE(std::find(pjl.begin(), pjl.end(), line), pjl.end()) << line;
}

INSTANTIATE_TEST_SUITE_P(
    App, Copies,
    testing::Values(CopiesCase{"uncollated", 3, false, false, "3", "1", {3, 3}},
                    CopiesCase{"collated", 3, true, false, "1", "3", {1, 1}},
                    CopiesCase{"cancelled", 4, false, true, "4", "1", {4, 1}},
                    CopiesCase{"zero_is_one", 0, false, false, "1", "1", {1, 1}}),
    [](const testing::TestParamInfo<CopiesCase> &info) { return info.param.name; });

// One job as the driver writes it: two colour pages of the test sheet.
std::string sample_job(const std::string &name) {
    std::string job;
    PageWriter writer(append, &job, nullptr, nullptr);
    JobSetup js;
    js.color = true;
    js.job_name = name;
    writer.start_job(js);
    PageSetup page;
    page.width = 500;
    page.height = 700;
    page.pixels = Pixels::Rgb;
    page.margin_left = page.margin_top = page.margin_right = page.margin_bottom = 423;
    for (int p = 0; p < 2; p++) {
        writer.start_page(page);
        for (unsigned y = 0; y < page.height; y++)
            writer.write_row(y, sheet_row(Pixels::Rgb, page.width, y).data());
        writer.end_page(false);
    }
    writer.end_job();
    return job;
}

// Jobs for different printers run at the same time, each with its own
// writer: every one comes out exactly as when it runs alone.
TEST(App, ConcurrentJobsDoNotMix) {
    const std::string alone_a = sample_job("a"), alone_b = sample_job("b");
    std::vector<std::string> out(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < out.size(); i++)
        threads.emplace_back([&out, i] { out[i] = sample_job(i % 2 ? "b" : "a"); });
    for (auto &t : threads)
        t.join();
    for (size_t i = 0; i < out.size(); i++)
        EXPECT_TRUE(out[i] == (i % 2 ? alone_b : alone_a)) << "job " << i;
}

// Nothing at all is written for a job without pages, and a page the printer
// cannot take is refused before anything is written.
TEST(App, NoPageNoBytes) {
    std::string job;
    PageWriter writer(append, &job, nullptr, nullptr);
    writer.start_job(JobSetup{});
    PageSetup page;
    page.width = 100;
    page.height = 100;
    page.margin_left = page.margin_right = 30000; // wider than the sheet
    EXPECT_FALSE(writer.start_page(page));
    EXPECT_TRUE(writer.end_job());
    EXPECT_TRUE(job.empty());
}

} // namespace
