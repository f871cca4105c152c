// Paths from 16-bit points: point lists with embedded sint16 point data, and
// figures that open (and some that paint) a path in one call. The printer
// holds the path and the cursor; nothing is kept here.
#include <vector>

#include "core.h"
#include "stream/put.h"
#include "stream/wire.h"

namespace attr = pclxl::wire::attr;
namespace op = pclxl::wire::op;
namespace code = pclxl::wire::type_code;

namespace pclxl::core {
namespace {

// The cursor and single line ends stay a little inside the sint16 range.
constexpr int kCoordLimit = 32700;
// Embedded point data has a 16-bit length: 16383 points of 4 bytes.
constexpr int kMaxPointsPerBlock = 16383;

int clamp(int v) { return v < -kCoordLimit ? -kCoordLimit : v > kCoordLimit ? kCoordLimit : v; }

// The drawing operations refuse a count they cannot encode in one block.
bool point_count_ok(Out out, const char *function, const _point16 *points, int n) {
    if (n < 1 || n - 1 > kMaxPointsPerBlock) {
        say(out, "%s(): Fatal Error: point count %d is outside 1..%d\n", function, n,
            kMaxPointsPerBlock + 1);
        return false;
    }
    if (points == nullptr) {
        say(out, "%s(): Fatal Error: points is NULL\n", function);
        return false;
    }
    return true;
}

// True when every coordinate fits the point type.
bool fits(const _point16 *points, unsigned int count, int type) {
    const int low = type == wire::enums::eUByte ? 0 : type == wire::enums::eSByte ? -128 : -32768;
    const int high = type == wire::enums::eUByte ? 255 : type == wire::enums::eSByte ? 127 : 32767;
    for (unsigned int i = 0; i < count; ++i)
        if (points[i].x < low || points[i].x > high || points[i].y < low || points[i].y > high)
            return false;
    return true;
}

} // namespace

_point16 clamped_point(int x, int y) {
    return _point16{static_cast<int16_t>(clamp(x)), static_cast<int16_t>(clamp(y))};
}

void set_cursor(Out out, int x, int y) {
    add_point16(out, clamped_point(x, y), attr::Point);
    set_operator(out, op::SetCursor);
}

void line_to(Out out, short x, short y) {
    add_point16(out, clamped_point(x, y), attr::EndPoint);
    set_operator(out, op::LinePath);
}

bool add_poly_path16(Out out, const _point16 *points, unsigned int count, unsigned char op_code) {
    add_attribute(out, count & 0xFFFFu, attr::NumberOfPoints, code::UInt16);
    add_attribute(out, wire::enums::eSInt16, attr::PointType, code::UByte);
    set_operator(out, op_code);
    // _point16 is laid out as the stream's sint16 point data, so the
    // caller's array goes out as it is.
    const unsigned int length = (count * 4u) & 0xFFFFu;
    add_embed_flag(out, length);
    return write(out, points, length);
}

void rectangle_path16(Out out, const _point16 *rect) {
    add_bounding_box16(out, rect);
    set_operator(out, op::RectanglePath);
}

void ellipse_path16(Out out, const _point16 *box) {
    add_bounding_box16(out, box);
    set_operator(out, op::EllipsePath);
}

int points_type(const _point16 *points, unsigned int count) {
    return fits(points, count, wire::enums::eUByte)   ? wire::enums::eUByte
           : fits(points, count, wire::enums::eSByte) ? wire::enums::eSByte
                                                      : wire::enums::eSInt16;
}

bool add_path_points(Out out, unsigned char op_code, int type, const _point16 *points,
                     unsigned int count) {
    constexpr const char *kFunction = "pclxl_add_path_points";
    if (op_code != op::LinePath && op_code != op::LineRelPath && op_code != op::BezierPath &&
        op_code != op::BezierRelPath) {
        say(out, "%s(): Fatal Error: operator 0x%02X is not a path of points\n", kFunction,
            op_code);
        return false;
    }
    if (type != wire::enums::eUByte && type != wire::enums::eSByte &&
        type != wire::enums::eSInt16) {
        say(out, "%s(): Fatal Error: point type %d is not 0, 1 or 3\n", kFunction, type);
        return false;
    }
    if (count < 1 || count > kMaxPointsPerBlock) {
        say(out, "%s(): Fatal Error: point count %u is outside 1..%d\n", kFunction, count,
            kMaxPointsPerBlock);
        return false;
    }
    if (points == nullptr) {
        say(out, "%s(): Fatal Error: points is NULL\n", kFunction);
        return false;
    }
    if (!fits(points, count, type)) {
        say(out, "%s(): Fatal Error: a coordinate does not fit point type %d\n", kFunction, type);
        return false;
    }
    const bool wide = type == wire::enums::eSInt16;
    // The data is built whole, so that it goes out as one piece.
    const unsigned int length = count * (wide ? 4u : 2u);
    std::vector<unsigned char> data(length);
    unsigned char *p = data.data();
    for (unsigned int i = 0; i < count; ++i) {
        if (wide) {
            p = put16le(put16le(p, static_cast<uint16_t>(points[i].x)),
                        static_cast<uint16_t>(points[i].y));
        } else {
            p = put8(put8(p, static_cast<uint8_t>(points[i].x)), static_cast<uint8_t>(points[i].y));
        }
    }
    add_attribute(out, count, attr::NumberOfPoints, count <= 0xFF ? code::UByte : code::UInt16);
    add_attribute(out, static_cast<unsigned>(type), attr::PointType, code::UByte);
    set_operator(out, op_code);
    add_embed_flag(out, length);
    return write(out, data.data(), length);
}

void curve_bezier(Out out, const _point16 &c1, const _point16 &c2, const _point16 &end) {
    const _point16 points[3] = {c1, c2, end};
    add_poly_path16(out, points, 3, op::BezierPath);
}

void add_rect16(Out out, const _point16 *rect) {
    set_operator(out, op::NewPath);
    add_bounding_box16(out, rect);
    set_operator(out, op::RectanglePath);
}

void add_round_rect16(Out out, const _point16 *rect) {
    set_operator(out, op::NewPath);
    add_bounding_box16(out, rect);
    // EllipseDimension (uint16_xy) and RoundRectanglePath in one piece.
    unsigned char buf[8];
    unsigned char *p = put8(buf, wire::tag::UInt16XY);
    p = put16le(p, static_cast<uint16_t>(rect[2].x));
    p = put16le(p, static_cast<uint16_t>(rect[2].y));
    p = put8(put_attr(p, attr::EllipseDimension), op::RoundRectanglePath);
    write_piece(out, buf, p);
}

void arc16(Out out, const _point16 *arc) {
    set_operator(out, op::NewPath);
    add_bounding_box16(out, arc);
    add_point16(out, arc[2], attr::StartPoint);
    add_point16(out, arc[3], attr::EndPoint);
    set_operator(out, op::ArcPath);
    set_operator(out, op::PaintPath);
}

void draw_path16(Out out, const _point16 *points, int n) {
    if (!point_count_ok(out, "pclxl_draw_path16", points, n))
        return;
    set_operator(out, op::NewPath);
    set_cursor(out, points[0].x, points[0].y);
    add_poly_path16(out, points + 1, static_cast<unsigned>(n - 1), op::LinePath);
    // Closed by a line back to the first point, not by CloseSubPath.
    line_to(out, points[0].x, points[0].y);
    set_operator(out, op::PaintPath);
}

void draw_poly_bezier16(Out out, int n, const _point16 *points) {
    if (!point_count_ok(out, "pclxl_draw_poly_bezier16", points, n))
        return;
    set_operator(out, op::NewPath);
    set_cursor(out, points[0].x, points[0].y);
    // Every three points after the first make a cubic segment; one left
    // over makes a line, two a curve whose control points coincide.
    const int m = n - 1, whole = m / 3 * 3;
    if (whole > 0)
        add_poly_path16(out, points + 1, static_cast<unsigned>(whole), op::BezierPath);
    const _point16 *rest = points + 1 + whole;
    if (m - whole == 1)
        line_to(out, rest[0].x, rest[0].y);
    else if (m - whole == 2)
        curve_bezier(out, rest[0], rest[0], rest[1]);
    set_operator(out, op::PaintPath);
}

} // namespace pclxl::core
