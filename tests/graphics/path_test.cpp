// Paths and graphics state: every setter and path call byte for byte (the
// attribute's type tag and value, its id, the operator, each piece as the
// printer must get it), values that are cut, clamped or computed (gray
// weights), the smallest type for 1.1 calls, the Bezier chain by point
// count, and the drawing operations' refusals.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "capture.h"

using namespace pclxl_test;

namespace {

using Pieces = std::vector<std::string>;

Pieces pieces_of(const std::function<void()> &call) {
    Capture cap;
    call();
    return cap.hex_pieces();
}

Pieces cat(std::initializer_list<Pieces> parts) {
    Pieces out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(Operations, EachCallWritesItsPieces) {
    const _point16 rect[2] = {{-32768, 20}, {300, 400}};
    const _point16 corners[2] = {{10, 20}, {300, 400}};
    const _point16 round[3] = {{10, 20}, {300, 400}, {40, 50}};
    const _point16 arc[4] = {{10, 20}, {300, 400}, {-1, 2}, {3, -4}};
    const _point16 a = {1, 2}, b = {3, 4}, c = {5, 6};
    _rect16 clip = {10, 20, 300, 400};
    const short dashes[] = {4, 2};
    const std::string box = "E3 0A 00 14 00 2C 01 90 01 F8 42";
    const std::string palette = "C0 02 F8 02", gray = "C0 01 F8 03";
    const _point16 bytes[2] = {{0, 255}, {7, 8}}, signed_bytes[2] = {{-128, 127}, {-1, 0}},
                   wide[1] = {{256, -129}};
    std::vector<_point16> many(256, _point16{1, -1});
    // Each a call and its pieces.
    const std::pair<std::function<void()>, Pieces> cases[] = {
        {[] { pclxl_set_rop3(0xF0); }, {"C0 F0 F8 2C", "7B"}},
        {[] { pclxl_addGrayAttr(0x80); }, {"C0 80 F8 09"}},
        {[] { pclxl_set_pen_source(); }, {"79"}},
        {[] { pclxl_set_brush_source(); }, {"63"}},
        {[] { pclxl_set_pen_source_null(); }, {"C0 00 F8 05", "79"}},
        {[] { pclxl_set_brush_source_null(); }, {"C0 00 F8 04", "63"}},
        {[] { pclxl_set_fill_mode(1); }, {"C0 01 F8 46", "6E"}},
        {[] { pclxl_set_line_cap_style(2); }, {"C0 02 F8 47", "71"}},
        {[] { pclxl_set_line_join_style(1); }, {"C0 01 F8 48", "72"}},
        {[] { pclxl_set_solid_line(); }, {"C0 00 F8 4E", "70"}},
        {[] { pclxl_set_clip_replace(1); }, {"C0 01 F8 53", "62"}},
        {[] { pclxl_set_clip_to_page(); }, {"69"}},
        {[] { pclxl_set_clip_mode(1); }, {"C0 01 F8 54", "7F"}},
        {[] { pclxl_set_color_space(2); }, {"C0 02 F8 03", "6A"}},
        // Cursor and line end clamp; the rectangle does not.
        {[] { pclxl_set_cursorXY(40000, -40000); }, {"D3 BC 7F 44 80 F8 4C", "6B"}},
        {[] { pclxl_end_path(-32768, 32767); }, {"D3 44 80 BC 7F F8 45", "9B"}},
        {[&] { pclxl_add_rect16(rect); }, {"85", "E3 00 80 14 00 2C 01 90 01 F8 42", "A1"}},
        {[&] { pclxl_add_round_rect16(round); }, {"85", box, "D1 28 00 32 00 F8 44 A3"}},
        {[&] { pclxl_arc16(arc); },
         {"85", box, "D3 FF FF 02 00 F8 4F", "D3 03 00 FC FF F8 45", "91", "86"}},
        {[&] { pclxl_curve_bezier(&a, &b, &c); },
         {"C1 03 00 F8 4D", "C0 03 F8 50", "93", "FB 0C", "01 00 02 00 03 00 04 00 05 00 06 00"}},
        {[&] { EXPECT_TRUE(pclxl_add_polyLinePath16(&a, 1, 0x9B)); },
         {"C1 01 00 F8 4D", "C0 03 F8 50", "9B", "FB 04", "01 00 02 00"}},
        // RGB and gray ignore the top byte; pen width is cut to a byte.
        {[] { pclxl_addRGBColor(static_cast<int>(0xAB123456)); }, {"C8 C1 03 00 12 34 56 F8 0B"}},
        {[] { pclxl_set_pen_width(300); }, {"C0 2C F8 4B", "7A"}},
        {[] { pclxl_set_miter_limit(-2); }, {"C3 FE FF F8 49", "73"}},
        {[] { pclxl_set_clip_intersect(0x100); }, {"C0 00 F8 53", "67"}},
        {[&] { _pclxl_set_clipRectangle16(&clip); }, {box, "C0 00 F8 53", "68"}},
        {[&] { pclxl_set_line_dash(dashes, 2); }, {"CB C1 02 00", "04 00 02 00", "F8 4A", "70"}},
        {[] { pclxl_set_color_space_with_palette(1, 0xFF0000, 0x00FF00); },
         {gray, palette, "C8 C1 02 00 4C 96 F8 06", "6A"}},
        {[] { pclxl_set_color_space_with_palette(1, 0x0000FF, 0x808080); },
         {gray, palette, "C8 C1 02 00 1C 80 F8 06", "6A"}},
        {[] { pclxl_set_color_space_with_palette(1, static_cast<int>(0xFF00FF00), 0); },
         {gray, palette, "C8 C1 02 00 96 00 F8 06", "6A"}},
        {[] { pclxl_set_color_space_with_palette(2, 0x123456, 0xABCDEF); },
         {"C0 02 F8 03", palette, "C8 C1 06 00 12 34 56 AB CD EF F8 06", "6A"}},
        {[] { pclxl_set_color_space_with_palette(258, 1, 2); }, {}}, // nothing written
        // The 1.1 calls: the smallest type that holds each value.
        {[] { pclxl_push_graphics_state(); }, {"61"}},
        {[] { pclxl_pop_graphics_state(); }, {"60"}},
        {[] { pclxl_set_pen_width16(255); }, {"C0 FF F8 4B", "7A"}},
        {[] { pclxl_set_pen_width16(256); }, {"C1 00 01 F8 4B", "7A"}},
        {[] { pclxl_set_miter_length(10); }, {"C0 0A F8 49", "73"}},
        {[] { pclxl_set_miter_length(40000); }, {"C1 40 9C F8 49", "73"}},
        {[] { pclxl_set_source_tx_mode(PCLXL_TX_TRANSPARENT); }, {"C0 01 F8 2D", "7C"}},
        {[] { pclxl_set_paint_tx_mode(PCLXL_TX_OPAQUE); }, {"C0 00 F8 2D", "78"}},
        {[&] { pclxl_rectangle_path16(corners); }, {box, "A1"}},
        {[&] { pclxl_ellipse_path16(corners); }, {box, "99"}},
        {[&] { pclxl_add_path_points(PCLXL_PATH_LINES, PCLXL_POINTS_UBYTE, bytes, 2); },
         {"C0 02 F8 4D", "C0 00 F8 50", "9B", "FB 04", "00 FF 07 08"}},
        {[&] {
             pclxl_add_path_points(PCLXL_PATH_LINES_RELATIVE, PCLXL_POINTS_SBYTE, signed_bytes, 2);
         },
         {"C0 02 F8 4D", "C0 01 F8 50", "9D", "FB 04", "80 7F FF 00"}},
        {[&] { pclxl_add_path_points(PCLXL_PATH_CURVES_RELATIVE, PCLXL_POINTS_SINT16, wide, 1); },
         {"C0 01 F8 4D", "C0 03 F8 50", "95", "FB 04", "00 01 7F FF"}},
        // 256 points need a 16-bit count; 512 bytes of data a long length.
        {[&] {
             pclxl_add_path_points(PCLXL_PATH_CURVES, PCLXL_POINTS_SBYTE, many.data(),
                                   static_cast<unsigned>(many.size()));
         },
         {"C1 00 01 F8 4D", "C0 01 F8 50", "93", "FA 00 02 00 00",
          [] {
              std::string d;
              for (int i = 0; i < 256; ++i)
                  d += i ? " 01 FF" : "01 FF";
              return d;
          }()}},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(pieces_of(cases[i].first), cases[i].second) << "row " << i;
}

// Each axis clamps to +-32700 on its own: x, y in, x, y out.
TEST(Paths, AssignClampsEachAxis) {
    const int cases[][4] = {{32700, -32700, 32700, -32700},
                            {32701, -32701, 32700, -32700},
                            {INT32_MIN, INT32_MAX, -32700, 32700}};
    for (const auto &c : cases) {
        _point16 p = {7, 7};
        pclxl_assign_points_with_check(&p, c[0], c[1]);
        EXPECT_EQ(std::make_pair(int{p.x}, int{p.y}), std::make_pair(c[2], c[3])) << c[0];
    }
}

const Pieces kNew = {"85"}, kPaint = {"86"};
Pieces cursor(const char *xy) { return {std::string("D3 ") + xy + " F8 4C", "6B"}; }
Pieces line_to(const char *xy) { return {std::string("D3 ") + xy + " F8 45", "9B"}; }
Pieces list(const char *count, const char *op, const char *len, const char *data) {
    return {std::string("C1 ") + count + " F8 4D", "C0 03 F8 50", op, len, data};
}

// Closed polygons and Bezier chains: new path, cursor to the first point,
// the figure, paint.
TEST(Paths, DrawnFigures) {
    const _point16 tri[3] = {{0, 0}, {100, 0}, {100, 100}};
    const _point16 far[2] = {{-32768, 32767}, {5, 5}};
    std::vector<_point16> p;
    for (int16_t i = 0; i < 8; ++i)
        p.push_back({i, static_cast<int16_t>(10 * i)});
    const char *p0 = "00 00 00 00", *p1 = "01 00 0A 00", *p4 = "04 00 28 00";
    const char *p123 = "01 00 0A 00 02 00 14 00 03 00 1E 00",
               *p112 = "01 00 0A 00 01 00 0A 00 02 00 14 00",
               *p445 = "04 00 28 00 04 00 28 00 05 00 32 00",
               *p1to6 = "01 00 0A 00 02 00 14 00 03 00 1E 00 04 00 28 00 05 00 32 00 06 00 3C 00";
    const Pieces curve123 = list("03 00", "93", "FB 0C", p123);
    const struct {
        const char *name;
        std::function<void()> call;
        const char *first;
        Pieces middle;
    } cases[] = {
        {"triangle", [&] { pclxl_draw_path16(tri, 3); }, "00 00 00 00",
         cat({list("02 00", "9B", "FB 08", "64 00 00 00 64 00 64 00"), line_to("00 00 00 00")})},
        {"polygon closed at its clamped start", [&] { pclxl_draw_path16(far, 2); }, "44 80 BC 7F",
         cat({list("01 00", "9B", "FB 04", "05 00 05 00"), line_to("44 80 BC 7F")})},
        {"chain of 1", [&] { pclxl_draw_poly_bezier16(1, p.data()); }, p0, {}},
        {"chain of 2", [&] { pclxl_draw_poly_bezier16(2, p.data()); }, p0, line_to(p1)},
        {"chain of 3", [&] { pclxl_draw_poly_bezier16(3, p.data()); }, p0,
         list("03 00", "93", "FB 0C", p112)},
        {"chain of 5", [&] { pclxl_draw_poly_bezier16(5, p.data()); }, p0,
         cat({curve123, line_to(p4)})},
        {"chain of 6", [&] { pclxl_draw_poly_bezier16(6, p.data()); }, p0,
         cat({curve123, list("03 00", "93", "FB 0C", p445)})},
        {"chain of 7", [&] { pclxl_draw_poly_bezier16(7, p.data()); }, p0,
         list("06 00", "93", "FB 18", p1to6)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pieces_of(c.call), cat({kNew, cursor(c.first), c.middle, kPaint}));
    }
}

TEST(Paths, DrawingRefusesCountsOutsideOneBlock) {
    std::vector<_point16> pts(16385, _point16{1, 2});
    const struct {
        const char *name;
        std::function<void()> call;
        const char *message;
    } cases[] = {
        {"polygon of 0", [&] { pclxl_draw_path16(pts.data(), 0); },
         "pclxl_draw_path16(): Fatal Error: point count 0 is outside 1..16384\n"},
        {"polygon of 16385", [&] { pclxl_draw_path16(pts.data(), 16385); },
         "pclxl_draw_path16(): Fatal Error: point count 16385 is outside 1..16384\n"},
        {"polygon without points", [&] { pclxl_draw_path16(nullptr, 3); },
         "pclxl_draw_path16(): Fatal Error: points is NULL\n"},
        {"chain of 16385", [&] { pclxl_draw_poly_bezier16(16385, pts.data()); },
         "pclxl_draw_poly_bezier16(): Fatal Error: point count 16385 is outside 1..16384\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Capture cap;
        EXPECT_EQ(capture_stderr([&] { c.call(); }), c.message);
        EXPECT_TRUE(cap.pieces().empty());
    }

    // The largest polygon fits: 16383 points in one block of 65532 bytes.
    Pieces p = pieces_of([&] { pclxl_draw_path16(pts.data(), 16384); });
    ASSERT_EQ(p.size(), 11u);
    EXPECT_EQ(p[3], "C1 FF 3F F8 4D");
    EXPECT_EQ(p[6], "FA FC FF 00 00");
    EXPECT_EQ(p[7].size(), 65532u * 3 - 1);
}

TEST(Paths, SmallestPointType) {
    const struct {
        std::vector<_point16> points;
        int want;
    } cases[] = {
        {{{0, 0}, {255, 255}}, PCLXL_POINTS_UBYTE},
        {{{0, 0}, {-1, 5}}, PCLXL_POINTS_SBYTE},
        {{{-128, 127}}, PCLXL_POINTS_SBYTE},
        {{{128, -1}}, PCLXL_POINTS_SINT16},
        {{{256, 0}}, PCLXL_POINTS_SINT16},
        {{{5, 5}, {-129, 0}}, PCLXL_POINTS_SINT16},
        {{}, PCLXL_POINTS_UBYTE},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pclxl_points_type(c.points.data(), static_cast<unsigned>(c.points.size())),
                  c.want)
            << c.points.size() << " points";
}

TEST(Paths, PointsRefusedWithOneLine) {
    const _point16 big[1] = {{300, 0}}, negative[1] = {{-1, 0}};
    std::vector<_point16> many(16384, _point16{1, 1});
    const char *prefix = "pclxl_add_path_points(): Fatal Error: ";
    const struct {
        unsigned char op;
        int type;
        const _point16 *points;
        unsigned count;
        std::string message;
    } cases[] = {
        {0x85, PCLXL_POINTS_SINT16, big, 1, "operator 0x85 is not a path of points"},
        {PCLXL_PATH_LINES, 2, big, 1, "point type 2 is not 0, 1 or 3"},
        {PCLXL_PATH_LINES, PCLXL_POINTS_SINT16, big, 0, "point count 0 is outside 1..16383"},
        {PCLXL_PATH_LINES, PCLXL_POINTS_SINT16, many.data(), 16384,
         "point count 16384 is outside 1..16383"},
        {PCLXL_PATH_LINES, PCLXL_POINTS_SINT16, nullptr, 1, "points is NULL"},
        {PCLXL_PATH_LINES, PCLXL_POINTS_SBYTE, big, 1, "a coordinate does not fit point type 1"},
        {PCLXL_PATH_LINES, PCLXL_POINTS_UBYTE, negative, 1,
         "a coordinate does not fit point type 0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        Capture cap;
        bool ok = true;
        EXPECT_EQ(
            capture_stderr([&] { ok = pclxl_add_path_points(c.op, c.type, c.points, c.count); }),
            prefix + c.message + "\n");
        EXPECT_FALSE(ok);
        EXPECT_TRUE(cap.pieces().empty());
    }
}

} // namespace
