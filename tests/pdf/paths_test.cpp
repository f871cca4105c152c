// Strokes as the printer takes them, and paths as they go out: whatever
// form a path takes (relative bytes, absolute points, an end point, an
// ellipse), the printer must trace the same whole pixels.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "converter.h"
#include "job_builder.h"
#include "paths.h"
#include "tool_run.h"

namespace pdf = pclxl::pdf;
namespace rd = pclxl_reader;

namespace {

TEST(Dashes, PhaseFoldedIntoAnEvenPatternOfWholePixels) {
    const struct {
        std::vector<double> dashes;
        double phase;
        std::vector<short> want;
        int max = 20;
    } kCases[] = {
        {{3}, 0, {3, 3}},             // odd: repeated
        {{10, 5}, 3, {7, 5, 3, 0}},   // inside the dash
        {{10, 5}, 12, {0, 3, 10, 2}}, // inside the gap
        {{10, 5}, 15, {10, 5}},       // a whole period
        {{10, 5}, -3, {0, 3, 10, 2}}, // negative phase
        {{0, 4}, 0, {0, 4}},          // dots
        {{0.2, 0.3}, 0, {}},          // under a pixel: nothing to dash
        {{2.6, 1.4}, 0, {3, 1}},      // rounded
        {std::vector<double>(11, 2), 0, std::vector<short>(20, 2)}, // 22 lengths: the first 20
        {{10, 5}, 3, {7, 5}, 3},                                    // cut to an even count
        {{10, 5}, 3, {}, 1},                                        // too short for a dash
    };
    for (const auto &k : kCases)
        EXPECT_EQ(pdf::dash_pattern(k.dashes, k.phase, k.max), k.want)
            << k.dashes.size() << " lengths, phase " << k.phase;
}

// "M x y", "L x y", "C x y x y x y", "Z" in device pixels.
pdf::Path path_of(const std::string &text) {
    pdf::Path path;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        pdf::PathSegment s{};
        const int points = word == "C" ? 3 : word == "Z" ? 0 : 1;
        s.kind = word == "M"   ? pdf::PathSegment::Move
                 : word == "L" ? pdf::PathSegment::Line
                 : word == "C" ? pdf::PathSegment::Curve
                               : pdf::PathSegment::Close;
        for (int i = 0; i < points; ++i)
            in >> s.p[i].x >> s.p[i].y;
        path.segments.push_back(s);
    }
    return path;
}

// The engine is never asked for anything while paths play.
struct NoDocument final : pdf::Document {
    int page_count() override { return 0; }
    bool page_size(int, double &, double &, std::string &) override { return false; }
    bool run_page(int, const pdf::Matrix &, const pdf::Rect &, pdf::PageSink &,
                  std::string &) override {
        return false;
    }
    bool render_page(int, const pdf::Matrix &, const pdf::Rect &, double, pdf::Pixels &,
                     std::string &) override {
        return false;
    }
    bool render_region(const pdf::Rect &, double, pdf::Pixels &) override { return false; }
    bool glyph_bitmap(int, int, const double[4], pdf::GlyphBitmap &) override { return false; }
    bool decode(pdf::Image &) override { return false; }
};

// Follows the printer's current point through the path operators and
// writes each painted path back in absolute whole pixels ("E" for an
// ellipse's box), plus the path operators used.
struct Traced {
    std::string points, ops;
};

Traced trace(const tool_test::Job &job) {
    Traced t;
    int x = 0, y = 0, sx = 0, sy = 0;
    auto put = [&](const char *what, int px, int py) {
        t.points += std::string(t.points.empty() ? "" : " ") + what + " " + std::to_string(px) +
                    " " + std::to_string(py);
    };
    for (const rd::Command &c : job.commands) {
        const std::string name = rd::operator_name(c.op);
        const bool rel = name == "LineRelPath" || name == "BezierRelPath";
        const bool curve = name == "BezierPath" || name == "BezierRelPath";
        if (name == "SetCursor") {
            x = sx = int(c.find(rd::attr::Point)->number(0));
            y = sy = int(c.find(rd::attr::Point)->number(1));
            put("M", x, y);
        } else if (name == "CloseSubPath") {
            t.points += " Z";
            x = sx, y = sy;
        } else if (name == "EllipsePath") {
            const rd::Value *b = c.find(rd::attr::BoundingBox);
            put("E", int(b->number(0)), int(b->number(1)));
            t.points +=
                " " + std::to_string(int(b->number(2))) + " " + std::to_string(int(b->number(3)));
        } else if (name == "LinePath" && c.find(rd::attr::EndPoint)) {
            x = int(c.find(rd::attr::EndPoint)->number(0));
            y = int(c.find(rd::attr::EndPoint)->number(1));
            put("L", x, y);
        } else if (name == "LinePath" || rel || curve) {
            const int type = int(c.find(rd::attr::PointType)->integer());
            const auto *d = reinterpret_cast<const uint8_t *>(job.bytes.data() + c.data_offset);
            const int size = type == 3 ? 4 : 2;
            const uint32_t n = c.data_length / size;
            auto coord = [&](uint32_t i) {
                return type == 3   ? int(int16_t(d[i * 2] | d[i * 2 + 1] << 8))
                       : type == 1 ? int(int8_t(d[i]))
                                   : int(d[i]);
            };
            for (uint32_t i = 0; i < n; i += curve ? 3 : 1) {
                const int ox = rel ? x : 0, oy = rel ? y : 0; // a curve's own start
                t.points += curve ? " C" : " L";
                for (uint32_t k = 0; k < (curve ? 3u : 1u); ++k) {
                    x = ox + coord(2 * (i + k)), y = oy + coord(2 * (i + k) + 1);
                    t.points += " " + std::to_string(x) + " " + std::to_string(y);
                }
            }
        } else {
            continue;
        }
        if (name != "SetCursor")
            t.ops += (t.ops.empty() ? "" : " ") + name;
    }
    return t;
}

// A one-page job at 600 dpi of what `draw` gives a converter, read back.
tool_test::Job play(const std::function<void(pdf::Converter &)> &draw) {
    NoDocument doc;
    pdf::JobOptions options;
    pdf::JobStats stats;
    const pclxl_test::Bytes bytes = hostile::build_job([&] {
        pdf::Converter conv(doc, options, stats);
        conv.begin_page();
        conv.set_page_area({-40000, -40000, 40000, 40000});
        draw(conv);
    });
    return tool_test::parse_job({bytes.begin(), bytes.end()});
}

// Both fill rules close subpaths themselves, so a fill may drop a close
// that only ends a subpath; a close before a line from the start point
// stays, and so does every close of a stroke.
TEST(Paths, TraceTheSamePixelsInTheFewestBytes) {
    // A circle of radius 100 around (500, 500), as PDF producers draw one.
    const std::string circle = "M 600 500 C 600 555.23 555.23 600 500 600 "
                               "C 444.77 600 400 555.23 400 500 C 400 444.77 444.77 400 500 400 "
                               "C 555.23 400 600 444.77 600 500 Z";
    const struct {
        const char *name;
        std::string path;
        bool fill, dashed;
        std::string want; // empty: the path as given
        const char *ops;
    } kCases[] = {
        {"steps up to a signed byte", "M 100 100 L 227 100 L 99 -27 L 100 -28", false, false, "",
         "LineRelPath"},
        {"a longer step splits the block",
         "M 100 100 L 110 112 L 120 120 L 248 120 L 258 132 L 268 140", false, false, "",
         "LineRelPath LinePath LineRelPath"},
        {"points within half a pixel of a line go",
         "M 0 0 L 10 0.4 L 20 0 L 30 -0.3 L 40 0 L 50 5 L 60 10.5 L 70 15", false, false,
         "M 0 0 L 40 0 L 70 15", "LineRelPath"},
        {"a point off by more stays", "M 0 0 L 10 0.6 L 20 0", true, false, "M 0 0 L 10 1 L 20 0",
         "LineRelPath"},
        {"not when dashed: the dashes would move", "M 0 0 L 10 0.4 L 20 0", false, true,
         "M 0 0 L 10 0 L 20 0", "LineRelPath"},
        {"fractions round to the pixels", "M 0.4 0.6 L 10.5 -3.5 L 20.49 1", false, false,
         "M 0 1 L 11 -4 L 20 1", "LineRelPath"},
        {"each curve relative to its own start",
         "M 1000 1000 C 1010 1000 1020 1010 1020 1020 C 1020 1030 1010 1040 1000 1040", false,
         false, "", "BezierRelPath"},
        {"curves far apart", "M 0 0 C 300 0 300 300 0 300 L 10 312 L 20 320", false, false, "",
         "BezierPath LineRelPath"},
        {"a close before a line stays", "M 0 0 L 10 0 L 10 10 Z L 20 20 L 30 20", true, false, "",
         "LineRelPath CloseSubPath LineRelPath"},
        {"a filled close before a move goes", "M 0 0 L 10 0 L 0 10 Z M 50 50 L 60 50 L 50 60 Z",
         true, false, "M 0 0 L 10 0 L 0 10 M 50 50 L 60 50 L 50 60", "LineRelPath LineRelPath"},
        {"a stroked close stays", "M 0 0 L 10 0 L 0 10 Z M 50 50 L 60 50 L 50 60 Z", false, false,
         "", "LineRelPath CloseSubPath LineRelPath CloseSubPath"},
        {"a filled circle is an ellipse", circle, true, false, "E 400 400 600 600", "EllipsePath"},
        {"a solid outline too", circle, false, false, "E 400 400 600 600", "EllipsePath"},
        {"a dashed outline starts where it starts", circle, false, true,
         "M 600 500 C 600 555 555 600 500 600 C 445 600 400 555 400 500 C 400 445 445 400 500 400 "
         "C 555 400 600 445 600 500 Z",
         "BezierRelPath CloseSubPath"},
        {"a squashed circle is no ellipse",
         "M 600 500 C 600 580 555.23 600 500 600 C 444.77 600 400 555.23 400 500 "
         "C 400 444.77 444.77 400 500 400 C 555.23 400 600 444.77 600 500 Z",
         true, false,
         "M 600 500 C 600 580 555 600 500 600 C 445 600 400 555 400 500 "
         "C 400 445 445 400 500 400 C 555 400 600 445 600 500",
         "BezierRelPath"},
        {"coordinates beyond the range clamp", "M 0 0 L 40000 0 L 40000 10", false, false,
         "M 0 0 L 32700 0 L 32700 10", "LinePath LinePath"},
    };
    for (const auto &k : kCases) {
        SCOPED_TRACE(k.name);
        const tool_test::Job job = play([&](pdf::Converter &conv) {
            pdf::StrokeStyle style;
            style.width = 3;
            if (k.dashed)
                style.dashes = {6, 3};
            if (k.fill)
                conv.fill_path(path_of(k.path), false, {});
            else
                conv.stroke_path(path_of(k.path), style, {});
        });
        ASSERT_EQ(job.error.message, "");
        const Traced t = trace(job);
        EXPECT_EQ(t.points, k.want.empty() ? k.path : k.want);
        EXPECT_EQ(t.ops, k.ops);
    }
}

// Separate lines under a clip (hatching) join into one line along the
// edge of the clip's bounds grown by more than the pen reaches: what the
// clip shows is the same, in a fraction of the bytes.
TEST(Paths, HatchingUnderAClipJoinsOutsideIt) {
    std::string hatch; // 30 lines at 45 degrees across a box 50 pixels high
    for (int k = 0; k < 30; ++k)
        hatch += "M " + std::to_string(1100 + 25 * k) + " 1150 L " + std::to_string(-400 + 25 * k) +
                 " -350 ";
    const std::string clip = "M 1000 1000 L 1600 1000 L 1600 1050 L 1000 1050 Z";
    const struct {
        const char *name;
        std::string lines;
        bool clipped, dashed;
        const char *ops;  // or the points, when they start with M
        size_t max_bytes; // of the stroke, from its pen width to its paint
    } kCases[] = {
        {"hatching", hatch, true, false, "LineRelPath", 200},
        {"without a clip each line stays whole", hatch, false, false, nullptr, 520},
        {"dashed lines keep their starts", hatch, true, true, nullptr, 520},
        // Cut to the grown box (986..1614, 986..1064), the second line
        // apart, the third turned to start at the end nearer the first's.
        {"a line that ends inside stays apart",
         "M 900 1100 L 1100 900 M 1200 1100 L 1300 1025 M 1300 1100 L 1400 900", true, false,
         "M 986 1014 L 1014 986 L 1357 986 L 1318 1064 M 1248 1064 L 1300 1025", 70},
    };
    for (const auto &k : kCases) {
        SCOPED_TRACE(k.name);
        const tool_test::Job job = play([&](pdf::Converter &conv) {
            if (k.clipped)
                conv.push_clip(path_of(clip), false);
            pdf::StrokeStyle style;
            style.width = 2;
            if (k.dashed)
                style.dashes = {6, 3};
            conv.stroke_path(path_of(k.lines), style, {});
            if (k.clipped)
                conv.pop_clip();
        });
        ASSERT_EQ(job.error.message, "");
        const auto pens = job.ops("SetPenWidth"), paints = job.ops("PaintPath");
        ASSERT_EQ(pens.size(), 1u);
        ASSERT_FALSE(paints.empty());
        EXPECT_LE(paints.back()->offset - pens[0]->offset, k.max_bytes);
        const Traced t = trace(job);
        if (k.ops && k.ops[0] == 'M') {
            EXPECT_EQ(t.points, k.ops);
        } else if (k.ops) {
            EXPECT_EQ(t.ops, k.ops) << t.points;
        }
        if (!k.ops || k.ops[0] == 'M')
            continue;
        // Every line drawn lies outside the grown box or crosses the clip as
        // a line of the input did.
        std::istringstream in(t.points);
        std::string op;
        int x = 0, y = 0, px = 0, py = 0;
        while (in >> op) {
            if (op == "Z" || op == "E")
                continue;
            in >> x >> y;
            if (op == "L") {
                const bool outside = (x <= 990 && px <= 990) || (x >= 1610 && px >= 1610) ||
                                     (y <= 990 && py <= 990) || (y >= 1060 && py >= 1060);
                const bool diagonal =
                    std::abs((x - px) - (y - py)) <= 2 || std::abs((x - px) + (y - py)) <= 2;
                EXPECT_TRUE(outside || diagonal) << px << "," << py << " to " << x << "," << y;
            }
            px = x, py = y;
        }
    }
}

// A renderer paints every pixel a stroke touches; the printer's pen is as
// wide as it is told, so widths round up to whole pixels (noise of a
// hundredth aside).
TEST(Paths, StrokeWidthsRoundUp) {
    const struct {
        double width;
        int pen;
    } kCases[] = {{0.3, 1},   {1, 1},          {2.5, 3},    {2.995, 3},
                  {3.004, 3}, {75.000001, 75}, {300.2, 301}};
    for (const auto &k : kCases) {
        const tool_test::Job job = play([&](pdf::Converter &conv) {
            pdf::StrokeStyle style;
            style.width = k.width;
            conv.stroke_path(path_of("M 0 0 L 100 100"), style, {});
        });
        const auto pens = job.ops("SetPenWidth");
        ASSERT_EQ(pens.size(), 1u) << k.width;
        EXPECT_EQ(pens[0]->find(rd::attr::PenWidth)->integer(), k.pen) << k.width;
    }
}

} // namespace
