// The PDF converter, end to end: documents of our own converted in-process
// and read back with the reader.
#include <gtest/gtest.h>

#include <algorithm>

#include <map>
#include <set>
#include <sys/resource.h>

#include "pdf_run.h"
#include "quirks.h"

using namespace tool_test;
namespace rd = pclxl_reader;
using namespace pdf_test;

namespace {

// The colours the job's brushes take.
std::set<std::vector<double>> brush_colours(const Job &job) {
    std::set<std::vector<double>> colours;
    for (const rd::Command *b : job.ops("SetBrushSource"))
        if (const rd::Value *v = b->find(rd::attr::RGBColor))
            colours.insert(v->elements);
    return colours;
}

// Operator counts, and a few derived ones.
std::map<std::string, uint64_t> tally(const Job &job) {
    std::map<std::string, uint64_t> n = job.summary.operator_counts;
    n["clips"] = n["SetClipIntersect"] + n["SetClipReplace"];
    n["jpeg blocks"] = job.summary.jpeg_blocks;
    for (const rd::Command *c : job.ops("SetPageRotation"))
        ++n["turned " + std::to_string(int(c->find(rd::attr::PageAngle)->number()))];
    for (const rd::Command *c : job.ops("SetPenSource"))
        n["pens"] += !c->find(rd::attr::NullPen);
    for (const rd::Command *b : job.ops("BeginImage"))
        n["largest image"] =
            std::max(n["largest image"], uint64_t(b->find(rd::attr::SourceWidth)->number() *
                                                  b->find(rd::attr::SourceHeight)->number()));
    return n;
}

// What each document must become: paths stay paths, text becomes fonts and
// Text operators (never a path per glyph), images stay images, and only
// what the printer cannot draw falls back to a region.
struct Sample {
    const char *file;
    int pages, fonts, images, fallbacks;
    std::map<std::string, uint64_t> counts; // exactly these
    bool raster = false;                    // every page one image
};

TEST(Samples, BecomeTheRightOperators) {
    const Sample kSamples[] = {
        {"vector.pdf", 2, 0, 0, 0, {{"PaintPath", 10}, {"clips", 1}}},
        {"vector.pdf", 2, 0, 2, 0, {{"PaintPath", 0}}, true},
        // 5 sizes and rotations of two fonts; the 12-point font serves both
        // pages, and a glyph printed again is not downloaded again.
        {"text.pdf", 2, 5, 0, 0, {{"PaintPath", 1}, {"Text", 17}, {"ReadChar", 72}}},
        // 300 sizes of a TrueType font: a font for each size up to the
        // bitmap limit (30 points at 600 dpi), outlines above it.
        {"sizes.pdf", 1, 246, 0, 0, {{"PaintPath", 54}}},
        // Two embedded subset fonts, one size each.
        {"embedded.pdf", 1, 2, 0, 0, {{"PaintPath", 0}, {"Text", 2}}},
        // RGB, JPEG as it is, a mask, and a turned copy (clipped to its outline).
        {"image.pdf", 1, 0, 4, 0, {{"PaintPath", 0}, {"jpeg blocks", 1}, {"clips", 1}}},
        // Quarter turns and a mirror: the same 8 x 8 pixels reordered, no clip.
        {"turns.pdf", 1, 0, 5, 0, {{"clips", 0}, {"largest image", 64}}},
        // A multiply group, a half-transparent fill and a shading; the plain
        // squares stay vector.
        {"transparency.pdf", 1, 0, 3, 3, {{"PaintPath", 2}, {"clips", 1}}},
        // 400 half-transparent squares apart: more regions than a page
        // renders, so one, their common box (never the whole page), in two
        // bands at 600 dpi.
        {"regions.pdf", 1, 0, 2, 1, {{"PaintPath", 0}}},
        // Only the rectangle survives clamping; the rest is one region as
        // large as the sheet, sent in bands, and its second part again over
        // the rectangle painted in between.
        {"far.pdf", 1, 0, 4, 2, {{"PaintPath", 1}}},
        // Overlapping shadows make one region at the job's resolution (150 x
        // 140 points at 600 dpi), a page-sized group only the square it
        // paints; the text over the shadow stays text.
        {"shadows.pdf",
         1,
         1,
         3,
         3,
         {{"PaintPath", 0}, {"Text", 1}, {"largest image", 1251 * 1168}}},
        // Hairline bars in one path keep every bar on a printer that paints
        // only pixels whose centres are inside: outlined rectangles. A frame's
        // hole depends on its squares' directions, so it stays a path.
        {"rules.pdf", 1, 0, 0, 0, {{"PaintPath", 2}, {"RectanglePath", 100}, {"pens", 1}}},
        // Drawn in a frame turned onto the portrait sheet: lines stay runs.
        {"landscape.pdf", 1, 1, 0, 0, {{"Text", 5}, {"turned 270", 1}}},
    };
    for (const Sample &s : kSamples) {
        SCOPED_TRACE(std::string(s.file) + (s.raster ? " as raster" : ""));
        Options o;
        o.vector = !s.raster;
        const Converted c = convert(doc(s.file), o);
        ASSERT_EQ(c.rc, 0) << c.error;
        ASSERT_TRUE(c.job.ok) << c.job.error.message << " at " << c.job.error.offset;
        expect_interop(c.job);
        EXPECT_EQ(c.stats.pages, s.pages);
        EXPECT_EQ(c.job.summary.pages.size(), size_t(s.pages));
        EXPECT_EQ(c.stats.fonts, s.fonts);
        EXPECT_EQ(c.job.summary.fonts.size(), size_t(s.fonts));
        EXPECT_EQ(c.stats.images, s.images);
        EXPECT_EQ(c.stats.fallback_regions, s.fallbacks);
        std::map<std::string, uint64_t> n = tally(c.job);
        for (const auto &[what, count] : s.counts)
            EXPECT_EQ(n[what], count) << what;
        // Every clip is closed: one push per page is the page's own.
        EXPECT_EQ(n["PushGS"] - n["PopGS"], uint64_t(s.pages));
        // Each glyph is downloaded once per font, however often it prints.
        EXPECT_EQ(n["ReadChar"], uint64_t(c.stats.glyphs));
        std::set<std::pair<std::string, double>> glyphs;
        std::string font;
        for (const rd::Command &cmd : c.job.commands) {
            if (const rd::Value *v = cmd.find(rd::attr::FontName))
                font = v->bytes();
            if (const rd::Value *code = cmd.find(rd::attr::CharCode)) {
                EXPECT_TRUE(glyphs.emplace(font, code->number()).second) << font;
            }
        }
    }
}

// Annotations and form fields print as viewers print them: with their Print
// flag, unless Hidden (NoView does not matter on paper), and in their own
// appearance (no text typed into the field's value appears).
TEST(Annotations, PrintByTheirFlagsInTheirOwnAppearance) {
    const struct {
        const char *what;
        std::vector<double> rgb; // the annotation's colour (make_pdfs.py)
        bool printed;
    } kCases[] = {
        {"form field, Print clear", {255, 0, 0}, false},
        {"Print", {0, 255, 0}, true},
        {"Print and Hidden", {255, 0, 255}, false},
        {"Print and NoView", {255, 255, 0}, true},
        {"form field, Print, value unlike its appearance", {0, 128, 128}, true},
        {"no flags", {128, 128, 0}, false},
        {"NoView only", {128, 0, 128}, false},
    };
    const Converted c = convert(doc("annotations.pdf"));
    ASSERT_EQ(c.rc, 0) << c.error;
    const std::set<std::vector<double>> colours = brush_colours(c.job);
    EXPECT_EQ(colours.count({0, 0, 255}), 1u) << "the page's own content";
    for (const auto &k : kCases)
        EXPECT_EQ(colours.count(k.rgb), k.printed ? 1u : 0u) << k.what;
    EXPECT_EQ(c.stats.glyphs, 0);
}

// A glyph's size on the device decides how it goes, not its font's size: a
// Type3 font with an identity FontMatrix at 2 points has glyphs 1500 points
// tall (12500 pixels at 600 dpi). They go as paths in their colours (the
// mask glyph in the text's), in a small job and little memory.
TEST(Glyphs, LargeOnTheDeviceGoAsPathsInLittleMemory) {
    const Converted c = convert(doc("type3-large.pdf"));
    ASSERT_EQ(c.rc, 0) << c.error;
    ASSERT_TRUE(c.job.ok) << c.job.error.message;
    EXPECT_EQ(c.stats.glyphs, 0);
    EXPECT_EQ(c.stats.fallback_regions, 0);
    EXPECT_EQ(c.stats.paths, 2);
    EXPECT_LT(c.job.bytes.size(), 4096u);
    EXPECT_EQ(brush_colours(c.job), (std::set<std::vector<double>>{{255, 0, 0}, {0, 255, 0}}));
    // The whole test program's peak, this conversion included (one glyph
    // bitmap of that size alone would be 150 MB); sanitizers' shadow memory
    // does not count.
#if !defined(__SANITIZE_ADDRESS__)
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 120 * 1024) << "KB";
#endif
}

// Hostile documents and bad options. A bad object is left out of its page
// and a page that cannot be read out of the job, each with a warning that
// names the page; an error only when no page is left, with a well-formed
// job of the good pages (or nothing when none was good).
TEST(PdfFaults, LeaveOutWhatIsBadAndKeepTheGoodPages) {
    const std::string vector = doc("vector.pdf");
    const struct {
        std::string pdf;
        int rc, pages;
        const char *error;
        size_t messages; // warnings, and the engine's first warning
        const char *warning = "";
        void (*set)(Options &) = nullptr;
    } kCases[] = {
        {doc("hostile-page-loop.pdf"), 0, 1, "", 2,
         "page 2: left out, it cannot be read (cycle in page tree)"},
        {doc("bad-jpx.pdf"), 0, 3, "", 2, "page 2: an image left out (Failed to read JPX"},
        {doc("bad-bits.pdf"), 0, 3, "", 2, "page 2: an image left out (Unsupported"},
        {doc("bad-wide.pdf"), 0, 3, "", 2, "page 2: an image left out (image is too wide)"},
        {doc("bad-forms.pdf"), 0, 3, "", 2, "page 2: forms nested too deep left out"},
        // Clips nested deeper than a printer keeps go as a region.
        {doc("bad-clips.pdf"), 0, 3, "", 0},
        {doc("bad-jbig2.pdf"), 0, 3, "", 1},
        // The font is replaced; the text still prints.
        {doc("hostile-bad-font.pdf"), 0, 1, "", 1},
        // Repaired where it can be: the second page lost its content.
        {doc("hostile-truncated.pdf"), 0, 2, "", 3, "1 page is blank: the file is damaged or cut"},
        {doc("hostile-broken-xref.pdf"), 1, 0, "no pages that can be read", 1},
        // A page tree error says what is wrong.
        {doc("hostile-malformed-tree.pdf"), 1, 0, "page 1: malformed page tree", 2,
         "page 1: left out, it cannot be read (malformed page tree)"},
        {"", 1, 0, "", 1},
        {"%PDF-1.4\n", 1, 0, "", 1},
        {"%PDF-1.7\n1 0 obj << >> endobj\n%%EOF", 1, 0, "", 2,
         "the PDF is damaged and was repaired"},
        {vector, 1, 0, "resolution", 0, "", [](Options &o) { o.resolution = 400; }},
        {vector, 1, 0, "render resolution", 0, "", [](Options &o) { o.render_dpi = 10; }},
        {vector, 1, 0, "page ranges", 0, "", [](Options &o) { o.page_ranges = "3-1"; }},
        {vector, 1, 0, "tray", 0, "", [](Options &o) { o.tray = nullptr; }},
        {vector, 1, 0, "no pages selected (the PDF has 2 pages)", 0, "",
         [](Options &o) { o.page_ranges = "5-"; }},
    };
    for (const auto &h : kCases) {
        SCOPED_TRACE(h.pdf.substr(0, 40) + " " + h.error);
        Options o;
        if (h.set)
            h.set(o);
        const Converted c = convert(h.pdf, o);
        EXPECT_EQ(c.rc, h.rc) << c.error;
        EXPECT_NE(c.error.find(h.error), std::string::npos) << c.error;
        EXPECT_EQ(c.error.find('\n'), std::string::npos);
        EXPECT_EQ(c.rc == 0, c.error.empty());
        EXPECT_EQ(c.stats.pages, h.pages);
        EXPECT_EQ(c.messages.size(), h.messages) << testing::PrintToString(c.messages);
        if (*h.warning) {
            EXPECT_TRUE(std::any_of(c.messages.begin(), c.messages.end(), [&](const auto &m) {
                return m.find(h.warning) != std::string::npos;
            })) << h.warning;
        }
        EXPECT_EQ(c.job.summary.pages.size(), size_t(h.pages));
        EXPECT_EQ(c.job.ok, h.pages > 0) << c.job.error.message;
        EXPECT_EQ(c.job.bytes.empty(), h.pages == 0);
    }
}

// One page of two dashed lines: 24 lengths, then 2.
const std::string kDashed =
    one_page_pdf("4 w [3 1 3 1 3 1 3 1 3 1 3 1 3 1 3 1 3 1 3 1 3 1 3 1] 0 d "
                 "50 500 m 545 500 l S [12 6] 0 d 50 300 m 545 300 l S",
                 595, 842);

// The row the printer's make and model picks in the quirks file decides what
// the job holds: no JPEG (images and smooth regions go as plain pixels
// instead), dash patterns cut to the row's length.
TEST(ModelQuirks, ReachTheJobsBytes) {
    const auto table = pclxl_host::parse_quirks("[*]\nmax-dash-entries = 20\n"
                                                "[Acme Laser*]\njpeg = no\n"
                                                "[Acme Laser 2*]\nmax-dash-entries = 7\n");
    ASSERT_TRUE(table.errors.empty());
    const struct {
        const char *model, *file; // "": the dashed page
        uint64_t jpeg_blocks;
        size_t longest_dash;
    } kCases[] = {
        {"Other Printer", "image.pdf", 1, 0},
        {"Acme Laser 1", "image.pdf", 0, 0},
        {"Other Printer", "", 0, 20},
        {"Acme Laser 2", "", 0, 6},
    };
    std::map<std::string, int> images; // per file, whatever the model
    for (const auto &k : kCases) {
        SCOPED_TRACE(std::string(k.model) + " printing " + (*k.file ? k.file : "dashes"));
        Options o;
        o.make_and_model = k.model;
        pclxl_host::apply_quirks(pclxl_host::quirks_for(table, o.make_and_model), o);
        const Converted c = convert(*k.file ? doc(k.file) : kDashed, o);
        ASSERT_EQ(c.rc, 0) << c.error;
        ASSERT_TRUE(c.job.ok) << c.job.error.message;
        EXPECT_EQ(c.job.summary.jpeg_blocks, k.jpeg_blocks);
        EXPECT_EQ(images.emplace(k.file, c.stats.images).first->second, c.stats.images);
        size_t longest = 0, dashed = 0;
        for (const rd::Command *d : c.job.ops("SetLineDash"))
            if (const rd::Value *v = d->find(rd::attr::LineDashStyle)) {
                longest = std::max<size_t>(longest, v->count);
                ++dashed;
            }
        EXPECT_EQ(longest, k.longest_dash);
        EXPECT_EQ(dashed, k.longest_dash ? 2u : 0u); // neither line drawn solid
    }
}

// --region-dpi reaches the converter: the first region's image against its
// size on the 600 dpi page; never finer than the job; out of range refused.
TEST(RegionResolution, FromTheCommandLine) {
    const struct {
        std::vector<std::string> args;
        int status;
        double scale; // destination pixels per source pixel
    } kCases[] = {
        {{}, 0, 1},
        {{"--region-dpi", "150"}, 0, 4},
        {{"--region-dpi", "300"}, 0, 2},
        {{"--region-dpi", "1200"}, 0, 1},
        {{"--region-dpi", "5"}, 2, 0},
        {{"--region-dpi"}, 2, 0},
    };
    for (const auto &k : kCases) {
        SCOPED_TRACE(k.args.empty() ? "default" : k.args.back());
        TempDir dir;
        std::vector<std::string> args = {"convert", "--dpi",  "600", PCLXL_PDF_DATA "/regions.pdf",
                                         "-o",      "job.pxl"};
        args.insert(args.begin() + 3, k.args.begin(), k.args.end());
        const Outcome out = run(dir, args);
        ASSERT_EQ(out.status, k.status) << out.err;
        if (k.status)
            continue;
        const Job job = read_job(dir.path + "/job.pxl");
        const auto images = job.ops("BeginImage");
        ASSERT_FALSE(images.empty());
        const rd::Command &b = *images.front();
        EXPECT_NEAR(b.find(rd::attr::DestinationSize)->number(0) /
                        b.find(rd::attr::SourceWidth)->number(),
                    k.scale, 0.01);
    }
}

} // namespace
