// The converter's own bytes, without an interpreter: the graphics-state
// commands a stroke and an image mask set, exactly; and where a known
// glyph's bitmap sits against its origin.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "color_management.h"
#include "pdf_run.h"

using namespace tool_test;

namespace {

// The job for `pdf` at 600 dpi, each point 600/72 pixels.
Job convert(const std::string &content) {
    pdf_test::Options o;
    o.fit_to_paper = false;
    const pdf_test::Converted c = pdf_test::convert(pdf_test::one_page_pdf(content), o);
    EXPECT_EQ(c.rc, 0) << c.error;
    return c.job;
}

using Strings = std::vector<std::string>;

// The bytes up to and including each `op` command, as many as the expected
// text for it has.
Strings commands(const Job &job, const char *op, const Strings &expected) {
    Strings out;
    const auto ops = job.ops(op);
    for (size_t i = 0; i < ops.size(); i++) {
        const size_t n = i < expected.size() ? (expected[i].size() + 1) / 3 : 1;
        out.push_back(
            pclxl_test::to_hex(pclxl_test::bytes_of(job.bytes.substr(ops[i]->offset + 1 - n, n))));
    }
    return out;
}

#define EXPECT_COMMANDS(job, op, ...)                                                              \
    do {                                                                                           \
        const Strings expected{__VA_ARGS__};                                                       \
        EXPECT_EQ(commands(job, op, expected), expected) << op;                                    \
    } while (0)

// PDF strokes become the printer's pen width, caps, joins, miter limit and
// dashes; a width above 255 pixels goes as a 16-bit value, the miter limit
// unsigned (interpreters refuse a signed one), as a byte when it fits.
TEST(ConverterWire, StrokeSettersWriteExactBytes) {
    const Job job = convert(("1 J 1 j 9 w 10 10 m 190 190 l S\n"
                             "2 J 2 j 36 w 10 190 m 190 10 l S\n"
                             "0 J 0 j 7 M 12 w [6 3] 0 d 10 100 m 190 100 l S\n"));
    ASSERT_TRUE(job.ok) << job.error.message;
    // 9, 36 and 12 points at 600 dpi: 75, 300 and 100 pixels.
    EXPECT_COMMANDS(job, "SetPenWidth", "C0 4B F8 4B 7A", "C1 2C 01 F8 4B 7A", "C0 64 F8 4B 7A");
    EXPECT_COMMANDS(job, "SetLineCap", "C0 01 F8 47 71", "C0 02 F8 47 71", "C0 00 F8 47 71");
    EXPECT_COMMANDS(job, "SetLineJoin", "C0 01 F8 48 72", "C0 02 F8 48 72", "C0 00 F8 48 72");
    EXPECT_COMMANDS(job, "SetMiterLimit", "C0 07 F8 49 73");
    // 6 and 3 points: 50 and 25 pixels.
    EXPECT_COMMANDS(job, "SetLineDash", "CB C1 02 00 32 00 19 00 F8 4A 70");
}

// Text sets the source and paint transparency modes.
TEST(ConverterWire, TextSetsTransparencyModes) {
    const Job job = convert(("BT /F1 12 Tf 20 50 Td (H) Tj ET\n"));
    ASSERT_TRUE(job.ok) << job.error.message;
    // Opaque when the page starts, transparent for the glyphs.
    EXPECT_COMMANDS(job, "SetSourceTxMode", "C0 00 F8 2D 7C", "C0 01 F8 2D 7C");
    EXPECT_COMMANDS(job, "SetPaintTxMode", "C0 00 F8 2D 78", "C0 01 F8 2D 78");
}

// A capital H stands on the baseline: its bitmap's top row is as far above
// the origin as the bitmap is high, and it starts a little right of the
// origin (Helvetica's side bearing, about 0.08 em).
TEST(ConverterWire, KnownGlyphSitsOnItsBaseline) {
    const Job job = convert(("BT /F1 12 Tf 20 50 Td (H) Tj ET\n"));
    ASSERT_TRUE(job.ok) << job.error.message;
    const auto chars = job.ops("ReadChar");
    ASSERT_EQ(chars.size(), 1u);
    const auto at = [&](size_t i) {
        return static_cast<unsigned char>(job.bytes[chars[0]->data_offset + i]);
    };
    const auto s16 = [&](size_t i) { return static_cast<int16_t>(at(i) << 8 | at(i + 1)); };
    const int left = s16(2), top = s16(4), width = s16(6), height = s16(8);
    // 12 points at 600 dpi: one em is 100 pixels; the H is about 0.72 em
    // high and 0.56 em wide.
    EXPECT_NEAR(height, 72, 4) << left << " " << top << " " << width;
    EXPECT_NEAR(width, 57, 6);
    EXPECT_NEAR(top, height, 1);
    EXPECT_GE(left, 4);
    EXPECT_LE(left, 12);
}

// CMYK, and the spaces that end in CMYK or Lab, as a colour-managed
// renderer shows them (the values an independent renderer gives for
// tests/pdf/data/cmyk.pdf, within 2): skipped without the CMYK profile.
TEST(ConverterWire, ColoursAsColourManagedRenderersShowThem) {
    if (!pclxl::pdf::ColorTransforms::get().cmyk_managed())
        GTEST_SKIP() << "no CMYK profile on this system";
    const struct {
        const char *what;
        int rgb[3];
        int within = 2;
    } kColours[] = {
        {"muted green", {83, 134, 74}},
        {"dark blue", {0, 66, 122}},
        {"red", {239, 64, 61}},
        {"yellow", {236, 222, 56}},
        {"violet", {93, 87, 145}},
        {"brown", {104, 90, 77}},
        {"half black", {147, 149, 152}},
        {"pale cyan", {176, 223, 219}},
        {"stroke", {0, 140, 185}},
        {"text", {45, 99, 157}},
        {"Lab", {111, 163, 74}},
        {"Indexed over CMYK", {201, 127, 130}},
        {"Separation", {204, 118, 162}},
        // Just outside sRGB: renderers clip red differently.
        {"DeviceN", {9, 144, 167}, 10},
    };
    const pdf_test::Converted c = pdf_test::convert(pdf_test::doc("cmyk.pdf"));
    ASSERT_EQ(c.rc, 0) << c.error;
    const std::vector<std::string> colours = pdf_test::rgb_colours(c.job);
    ASSERT_EQ(colours.size(), std::size(kColours));
    for (size_t i = 0; i < colours.size(); ++i) {
        SCOPED_TRACE(kColours[i].what);
        ASSERT_EQ(colours[i].size(), 3u);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(static_cast<unsigned char>(colours[i][k]), kColours[i].rgb[k],
                        kColours[i].within);
    }
}

// A document's own CMYK profile converts its colours (here one far brighter
// than the default, as an independent renderer shows them, within 2); one
// that cannot be read leaves the default in its place, with one warning
// for the document however many pages name it.
TEST(ConverterWire, EmbeddedProfilesConvertTheirOwnColours) {
    const bool managed = pclxl::pdf::ColorTransforms::get().cmyk_managed();
    const struct {
        const char *file;
        std::vector<std::vector<int>> rgb; // the first fills' colours
        int warnings;
        bool needs_default;
    } kCases[] = {
        {"icc.pdf", {{0, 203, 0}, {0, 88, 206}, {255, 88, 124}, {241, 249, 69}}, 0, false},
        {"bad-profile.pdf", {{83, 134, 74}, {83, 134, 74}}, 1, true},
    };
    for (const auto &k : kCases) {
        SCOPED_TRACE(k.file);
        if (k.needs_default && !managed)
            continue;
        pdf_test::Options o;
        o.verbose = true;
        const pdf_test::Converted conv = pdf_test::convert(pdf_test::doc(k.file), o);
        ASSERT_EQ(conv.rc, 0) << conv.error;
        const std::vector<std::string> colours = pdf_test::rgb_colours(conv.job);
        ASSERT_GE(colours.size(), k.rgb.size());
        for (size_t i = 0; i < k.rgb.size(); ++i)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(static_cast<unsigned char>(colours[i][c]), k.rgb[i][c], 2) << i;
        int warnings = 0;
        for (const std::string &l : conv.messages)
            warnings += l.find("colour profile") != std::string::npos;
        EXPECT_EQ(warnings, k.warnings);
    }
}

} // namespace
