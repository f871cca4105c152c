// The PDF converter, end to end: documents of our own converted in-process
// and read back with the reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "interop_check.h"
#include "pdf_job.h"
#include "pclxl.h"
#include "tool_run.h"

using namespace tool_test;
namespace rd = pclxl_reader;

namespace {

std::string data(const std::string &name) { return std::string(PCLXL_PDF_DATA) + "/" + name; }

void append(const void *buffer, unsigned int length, const void *context) {
    static_cast<std::string *>(const_cast<void *>(context))
        ->append(static_cast<const char *>(buffer), length);
}

struct Converted {
    int rc = -1;
    std::string error;
    pclxl::pdf::JobStats stats;
    Job job;
    std::vector<std::string> messages;
};

Converted convert(const std::string &file, pclxl::pdf::JobOptions options = {}) {
    Converted c;
    std::string bytes;
    options.message = [](const char *line, void *user) {
        static_cast<std::vector<std::string> *>(user)->push_back(line);
    };
    options.message_user = &c.messages;
    pclxl_init(&bytes, append);
    c.rc = pclxl::pdf::write_job(data(file).c_str(), options, &c.stats, &c.error);
    pclxl_init(nullptr, nullptr);
    c.job.bytes = bytes;
    rd::Source source(c.job.bytes.data(), c.job.bytes.size());
    c.job.ok = rd::read_job(source, c.job, c.job.summary, c.job.error);
    return c;
}

size_t count(const Job &job, const char *op) { return job.ops(op).size(); }

// What each sample must become: paths stay paths, text becomes fonts and
// Text operators (never a path per glyph), images stay images, and only
// what the printer cannot draw falls back to a region.
struct Sample {
    const char *file;
    int pages;
    size_t min_paths, max_paths;
    int fonts;
    size_t min_texts;
    int images;
    uint64_t jpeg_blocks;
    int fallbacks;
    size_t clips;        // beyond the page's own
    unsigned max_source; // the largest image's pixels; 0: not checked
};

const Sample kSamples[] = {
    {"vector.pdf", 2, 10, 10, 0, 0, 0, 0, 0, 1, 0},
    // 5 sizes and rotations of two fonts; the 12-point font serves both pages.
    {"text.pdf", 2, 1, 1, 5, 6, 0, 0, 0, 0, 0},
    // Two embedded subset fonts, one size each.
    {"embedded.pdf", 1, 0, 0, 2, 2, 0, 0, 0, 0, 0},
    // RGB, JPEG as it is, a mask, and a turned copy (clipped to its outline).
    {"image.pdf", 1, 0, 0, 0, 0, 4, 1, 0, 1, 0},
    // Quarter turns and a mirror: the same 8 x 8 pixels reordered, no clip.
    {"turns.pdf", 1, 0, 0, 0, 0, 5, 0, 0, 0, 64},
    // A multiply group, a half-transparent fill and a shading; the plain
    // squares stay vector.
    {"transparency.pdf", 1, 2, 2, 0, 0, 3, 0, 3, 1, 0},
    // Too many regions: the page goes as one image.
    {"regions.pdf", 1, 0, 0, 0, 0, 1, 0, 1, 0, 0},
    // Only the rectangle survives clamping; the rest are regions.
    {"far.pdf", 1, 1, 1, 0, 0, 2, 0, 2, 0, 0},
};

class Samples : public ::testing::TestWithParam<Sample> {};

TEST_P(Samples, BecomeTheRightOperators) {
    const Sample &s = GetParam();
    const Converted c = convert(s.file);
    ASSERT_EQ(c.rc, 0) << c.error;
    ASSERT_TRUE(c.job.ok) << c.job.error.message << " at " << c.job.error.offset;
    expect_interop(c.job);
    EXPECT_EQ(c.stats.pages, s.pages);
    EXPECT_EQ(c.job.summary.pages.size(), size_t(s.pages));
    EXPECT_GE(count(c.job, "PaintPath"), s.min_paths);
    EXPECT_LE(count(c.job, "PaintPath"), s.max_paths);
    EXPECT_EQ(c.stats.fonts, s.fonts);
    EXPECT_EQ(c.job.summary.fonts.size(), size_t(s.fonts));
    EXPECT_GE(count(c.job, "Text"), s.min_texts);
    EXPECT_EQ(c.stats.images, s.images);
    EXPECT_EQ(c.job.summary.jpeg_blocks, s.jpeg_blocks);
    EXPECT_EQ(c.stats.fallback_regions, s.fallbacks);
    // Every clip is closed: one push per page is the page's own.
    EXPECT_EQ(count(c.job, "PushGS") - count(c.job, "PopGS"), size_t(s.pages));
    EXPECT_EQ(count(c.job, "SetClipIntersect") + count(c.job, "SetClipReplace"), s.clips);
    if (s.max_source) {
        unsigned largest = 0;
        for (const rd::Command *b : c.job.ops("BeginImage"))
            largest = std::max(largest, unsigned(b->find(rd::attr::SourceWidth)->number() *
                                                 b->find(rd::attr::SourceHeight)->number()));
        EXPECT_EQ(largest, s.max_source);
    }
}

INSTANTIATE_TEST_SUITE_P(Pdf, Samples, ::testing::ValuesIn(kSamples), [](const auto &info) {
    std::string n = info.param.file;
    return n.substr(0, n.find('.'));
});

TEST(Text, EachGlyphIsDownloadedOncePerFont) {
    const Converted c = convert("text.pdf");
    ASSERT_EQ(c.rc, 0) << c.error;
    EXPECT_EQ(c.stats.glyphs, static_cast<int>(c.job.ops("ReadChar").size()));
    // Far fewer glyphs downloaded than painted: page 2 reuses page 1's.
    size_t painted = 0;
    for (const rd::Command *t : c.job.ops("Text"))
        painted += t->find(rd::attr::TextData)->count;
    EXPECT_LT(size_t(c.stats.glyphs) * 3, painted * 2);
}

// A rule drawn as a row of hairline bars in one path keeps every bar on a
// printer that paints only pixels whose centres are inside (the path is
// outlined as well as filled), and goes as rectangles. A frame's hole
// depends on its squares' directions, so it stays a path.
TEST(Paths, BarsGoAsOutlinedRectanglesFramesStayPaths) {
    const Converted c = convert("rules.pdf");
    ASSERT_EQ(c.rc, 0) << c.error;
    EXPECT_EQ(count(c.job, "PaintPath"), 2u);
    EXPECT_EQ(count(c.job, "RectanglePath"), 100u);
    const auto pens = c.job.ops("SetPenSource");
    ASSERT_GE(pens.size(), 2u); // the page starts with none
    EXPECT_FALSE(pens[1]->find(rd::attr::NullPen));
}

// A landscape page is drawn in a frame turned onto the portrait sheet, so
// that its lines stay one Text operator each, not one per glyph.
TEST(Text, LandscapeLinesStayRuns) {
    const Converted c = convert("landscape.pdf");
    ASSERT_EQ(c.rc, 0) << c.error;
    EXPECT_EQ(c.job.summary.pages.at(0).media_size, "eA4Paper");
    const auto turns = c.job.ops("SetPageRotation");
    ASSERT_EQ(turns.size(), 2u); // the page's default, then the frame's
    EXPECT_EQ(turns[1]->find(rd::attr::PageAngle)->number(), 270);
    EXPECT_EQ(count(c.job, "Text"), 5u);
}

// Hostile documents: one clear error, and a well-formed job holding the
// pages before the fault (or nothing when none was good).
struct Hostile {
    const char *file;
    int rc;
    int pages;
    const char *error;
    bool warned; // one warning line tells what was repaired or replaced
};

const Hostile kHostile[] = {
    {"hostile-page-loop.pdf", 1, 1, "page 2: cycle in page tree", true},
    {"hostile-huge-image.pdf", 1, 1, "page 2: ", true},
    {"hostile-nested-clips.pdf", 1, 1, "page 2: clips nested more than 200 deep", false},
    // The font is replaced; the text still prints.
    {"hostile-bad-font.pdf", 0, 1, "", true},
    // Repaired where it can be: the second page lost its content.
    {"hostile-truncated.pdf", 0, 2, "", true},
    {"hostile-broken-xref.pdf", 1, 0, "no pages that can be read", true},
};

class Hostiles : public ::testing::TestWithParam<Hostile> {};

TEST_P(Hostiles, EndWithOneErrorAndTheGoodPages) {
    const Hostile &h = GetParam();
    const Converted c = convert(h.file);
    EXPECT_EQ(c.rc, h.rc) << c.error;
    EXPECT_NE(c.error.find(h.error), std::string::npos) << c.error;
    EXPECT_EQ(c.error.find('\n'), std::string::npos);
    EXPECT_EQ(c.stats.pages, h.pages);
    EXPECT_EQ(c.messages.size(), h.warned ? 1u : 0u);
    if (h.pages == 0) {
        EXPECT_TRUE(c.job.bytes.empty());
    } else {
        EXPECT_TRUE(c.job.ok) << c.job.error.message;
        EXPECT_EQ(c.job.summary.pages.size(), size_t(h.pages));
    }
}

INSTANTIATE_TEST_SUITE_P(Pdf, Hostiles, ::testing::ValuesIn(kHostile), [](const auto &info) {
    std::string n = info.param.file;
    n = n.substr(8, n.find('.') - 8);
    for (char &ch : n)
        if (ch == '-')
            ch = '_';
    return n;
});

TEST(Hostile, GarbageAndEmptyInputWriteNothing) {
    for (const std::string &bytes : {std::string(), std::string("%PDF-1.4\n"),
                                     std::string("%PDF-1.7\n1 0 obj << >> endobj\n%%EOF")}) {
        std::string out;
        pclxl_init(&out, append);
        pclxl::pdf::JobStats stats;
        std::string error;
        const int rc =
            pclxl::pdf::write_job_from_memory(reinterpret_cast<const unsigned char *>(bytes.data()),
                                              bytes.size(), {}, &stats, &error);
        pclxl_init(nullptr, nullptr);
        EXPECT_EQ(rc, 1);
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(out.empty());
    }
}

// Job options reach the PJL header and the pages.
TEST(Options, ReachHeaderAndPages) {
    pclxl::pdf::JobOptions o;
    o.paper = "Letter";
    o.duplex = "long-edge";
    o.copies = 3;
    o.media_source = "tray_2";
    o.media_type = "labels";
    o.color = false;
    o.page_ranges = "2";
    o.title = "Report \"Q3\"";
    o.user = "ann";
    o.resolution = 300;
    const Converted c = convert("text.pdf", o);
    ASSERT_EQ(c.rc, 0) << c.error;
    ASSERT_EQ(c.job.summary.pages.size(), 1u);
    const rd::PageInfo &p = c.job.summary.pages[0];
    EXPECT_EQ(p.media_size, "eLetterPaper");
    EXPECT_EQ(p.copies, 3u);
    EXPECT_FALSE(p.duplex.empty());
    EXPECT_EQ(p.media_type, "Labels");
    EXPECT_TRUE(c.job.has_pjl("@PJL SET DUPLEX=ENABLE"));
    EXPECT_TRUE(c.job.has_pjl("@PJL SET RENDERMODE=GRAYSCALE"));
    EXPECT_TRUE(c.job.has_pjl("@PJL SET JOBNAME=\"Report _Q3_\""));
    EXPECT_TRUE(c.job.has_pjl("@PJL SET USERNAME=\"ann\""));
    EXPECT_TRUE(c.job.has_pjl("@PJL SET RESOLUTION=R300X300"));
    for (const rd::FontInfo &f : c.job.summary.fonts)
        EXPECT_EQ(f.x_resolution, 300);
    // A gray job never selects the RGB colour space.
    for (const rd::Command *cs : c.job.ops("SetColorSpace"))
        EXPECT_NE(cs->find(rd::attr::ColorSpace)->number(), rd::enums::eRGB);
}

TEST(Options, BadValuesAreRefusedBeforeWriting) {
    const struct {
        void (*set)(pclxl::pdf::JobOptions &);
        const char *error;
    } kCases[] = {
        {[](pclxl::pdf::JobOptions &o) { o.resolution = 400; }, "resolution"},
        {[](pclxl::pdf::JobOptions &o) { o.paper = "Napkin"; }, "paper"},
        {[](pclxl::pdf::JobOptions &o) { o.render_dpi = 10; }, "render resolution"},
        {[](pclxl::pdf::JobOptions &o) { o.page_ranges = "3-1"; }, "page ranges"},
        {[](pclxl::pdf::JobOptions &o) { o.media_source = "drawer"; }, "tray"},
        {[](pclxl::pdf::JobOptions &o) { o.duplex = "sideways"; }, "duplex"},
        {[](pclxl::pdf::JobOptions &o) { o.page_ranges = "5-"; },
         "no pages selected (the PDF has 2 pages)"},
    };
    for (const auto &k : kCases) {
        pclxl::pdf::JobOptions o;
        k.set(o);
        const Converted c = convert("vector.pdf", o);
        EXPECT_EQ(c.rc, 1) << k.error;
        EXPECT_NE(c.error.find(k.error), std::string::npos) << c.error;
        EXPECT_TRUE(c.job.bytes.empty()) << k.error;
    }
}

TEST(Options, RasterRouteSendsOneImagePerPage) {
    pclxl::pdf::JobOptions o;
    o.vector = false;
    o.resolution = 300;
    const Converted c = convert("vector.pdf", o);
    ASSERT_EQ(c.rc, 0) << c.error;
    EXPECT_EQ(count(c.job, "PaintPath"), 0u);
    EXPECT_EQ(c.stats.images, 2);
    expect_interop(c.job);
}

TEST(Options, VerboseReportsEachPage) {
    pclxl::pdf::JobOptions o;
    o.verbose = true;
    const Converted c = convert("transparency.pdf", o);
    ASSERT_EQ(c.rc, 0);
    ASSERT_FALSE(c.messages.empty());
    EXPECT_NE(c.messages.front().find("page 1: "), std::string::npos);
    EXPECT_NE(c.messages.back().find("3 fallback regions"), std::string::npos);
}

TEST(Detect, LooksLikePdf) {
    const struct {
        std::string bytes;
        bool pdf;
    } kCases[] = {
        {"%PDF-1.7\n", true},
        {std::string(1000, ' ') + "%PDF-1.4", true},
        {std::string(1020, ' ') + "%PDF-1.4", false},
        {"\x89PNG\r\n", false},
        {"%PD", false},
    };
    for (const auto &k : kCases)
        EXPECT_EQ(pclxl::pdf::looks_like_pdf(
                      reinterpret_cast<const unsigned char *>(k.bytes.data()), k.bytes.size()),
                  k.pdf)
            << k.bytes.substr(0, 12);
}

} // namespace
