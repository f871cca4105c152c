// Paths from 16-bit points: path operators, point lists with embedded sint16
// point data, and figures that open (and some that paint) a path in one
// call. The printer holds the path and the cursor; nothing is kept here.
#include <cstdio>

#include "stream/output.h"
#include "pclxl.hpp"
#include "stream/put.h"
#include "stream/wire.h"

using namespace pclxl;
namespace attr = pclxl::wire::attr;
namespace op = pclxl::wire::op;
namespace code = pclxl::wire::type_code;

namespace {

// The cursor and single line ends stay a little inside the sint16 range.
constexpr int kCoordLimit = 32700;
// Embedded point data has a 16-bit length: 16383 points of 4 bytes.
constexpr int kMaxPointsPerBlock = 16383;

int clamp(int v) { return v < -kCoordLimit ? -kCoordLimit : v > kCoordLimit ? kCoordLimit : v; }

// The drawing operations refuse a count they cannot encode in one block.
bool point_count_ok(const char *function, const _point16 *points, int n) {
    if (n < 1 || n - 1 > kMaxPointsPerBlock) {
        pclxl::say("%s(): Fatal Error: point count %d is outside 1..%d\n", function, n,
                   kMaxPointsPerBlock + 1);
        return false;
    }
    if (points == nullptr) {
        pclxl::say("%s(): Fatal Error: points is NULL\n", function);
        return false;
    }
    return true;
}

void line_to(const _point16 &p) { pclxl_end_path(p.x, p.y); }

} // namespace

extern "C" {

void pclxl_new_path(void) { _pclxl_set_operator(op::NewPath); }
void pclxl_close_sub_path(void) { _pclxl_set_operator(op::CloseSubPath); }
void pclxl_paint_path(void) { _pclxl_set_operator(op::PaintPath); }

void pclxl_assign_points_with_check(_point16 *point, int x, int y) {
    point->x = static_cast<int16_t>(clamp(x));
    point->y = static_cast<int16_t>(clamp(y));
}

void pclxl_set_cursorXY(int x, int y) {
    _point16 p;
    pclxl_assign_points_with_check(&p, x, y);
    _pclxl_add_point16(&p, attr::Point);
    _pclxl_set_operator(op::SetCursor);
}

void pclxl_end_path(short x, short y) {
    _point16 p;
    pclxl_assign_points_with_check(&p, x, y);
    _pclxl_add_point16(&p, attr::EndPoint);
    _pclxl_set_operator(op::LinePath);
}

bool pclxl_add_polyLinePath16(const _point16 *points, unsigned int count, unsigned char op_code) {
    _pclxl_add_attribute(count & 0xFFFFu, attr::NumberOfPoints, code::UInt16);
    _pclxl_add_attribute(wire::enums::eSInt16, attr::PointType, code::UByte);
    _pclxl_set_operator(op_code);
    // _point16 is laid out as the stream's sint16 point data, so the
    // caller's array goes out as it is.
    const unsigned int length = (count * 4u) & 0xFFFFu;
    _pclxl_add_embedFlag(length);
    return _dev_write(const_cast<_point16 *>(points), length);
}

void pclxl_curve_bezier(const _point16 *c1, const _point16 *c2, const _point16 *end) {
    const _point16 points[3] = {*c1, *c2, *end};
    pclxl_add_polyLinePath16(points, 3, op::BezierPath);
}

void pclxl_add_rect16(const _point16 *rect) {
    _pclxl_set_operator(op::NewPath);
    _pclxl_add_boundingBox16(const_cast<_point16 *>(rect));
    _pclxl_set_operator(op::RectanglePath);
}

void pclxl_add_round_rect16(const _point16 *rect) {
    _pclxl_set_operator(op::NewPath);
    _pclxl_add_boundingBox16(const_cast<_point16 *>(rect));
    // EllipseDimension (uint16_xy) and RoundRectanglePath in one piece.
    unsigned char buf[8];
    unsigned char *p = put8(buf, wire::tag::UInt16XY);
    p = put16le(p, static_cast<uint16_t>(rect[2].x));
    p = put16le(p, static_cast<uint16_t>(rect[2].y));
    p = put8(put_attr(p, attr::EllipseDimension), op::RoundRectanglePath);
    write_piece(buf, p);
}

void pclxl_arc16(const _point16 *arc) {
    _pclxl_set_operator(op::NewPath);
    _pclxl_add_boundingBox16(const_cast<_point16 *>(arc));
    _pclxl_add_point16(const_cast<_point16 *>(&arc[2]), attr::StartPoint);
    _pclxl_add_point16(const_cast<_point16 *>(&arc[3]), attr::EndPoint);
    _pclxl_set_operator(op::ArcPath);
    _pclxl_set_operator(op::PaintPath);
}

void pclxl_draw_path16(const _point16 *points, int n) {
    if (!point_count_ok("pclxl_draw_path16", points, n))
        return;
    _pclxl_set_operator(op::NewPath);
    pclxl_set_cursorXY(points[0].x, points[0].y);
    pclxl_add_polyLinePath16(points + 1, static_cast<unsigned>(n - 1), op::LinePath);
    // Closed by a line back to the first point, not by CloseSubPath.
    line_to(points[0]);
    _pclxl_set_operator(op::PaintPath);
}

void pclxl_draw_poly_bezier16(int n, const _point16 *points) {
    if (!point_count_ok("pclxl_draw_poly_bezier16", points, n))
        return;
    _pclxl_set_operator(op::NewPath);
    pclxl_set_cursorXY(points[0].x, points[0].y);
    // Every three points after the first make a cubic segment; one left
    // over makes a line, two a curve whose control points coincide.
    const int m = n - 1, whole = m / 3 * 3;
    if (whole > 0)
        pclxl_add_polyLinePath16(points + 1, static_cast<unsigned>(whole), op::BezierPath);
    const _point16 *rest = points + 1 + whole;
    if (m - whole == 1)
        line_to(rest[0]);
    else if (m - whole == 2)
        pclxl_curve_bezier(&rest[0], &rest[0], &rest[1]);
    _pclxl_set_operator(op::PaintPath);
}

} // extern "C"
