// Paths: fills and strokes, with rectangles sent as rectangles and the
// stroke's pen, caps, joins and dashes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "converter.h"
#include "paths.h"

namespace pclxl::pdf {

namespace {

// Operators and attributes the library has no call of its own for.
constexpr unsigned char kSetPenWidth = 0x7A, kSetMiterLimit = 0x73, kRectanglePath = 0xA1;
constexpr unsigned char kAttrPenWidth = 0x4B, kAttrMiterLength = 0x49;
constexpr unsigned short kTypeUInt16 = 2;
// Filled shapes thinner than this (pixels) are outlined too.
constexpr double kThinShape = 2;

// The corners of a path that is one axis-aligned rectangle (a move, three
// or four lines along the axes, perhaps a close), in whole pixels.
bool as_rectangle(const Path &path, _point16 r[2]) {
    const auto &seg = path.segments;
    size_t n = seg.size();
    if (n && seg[n - 1].kind == PathSegment::Close)
        --n;
    if ((n != 4 && n != 5) || seg[0].kind != PathSegment::Move)
        return false;
    int x[5], y[5];
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && seg[i].kind != PathSegment::Line)
            return false;
        x[i] = clamp_coordinate(seg[i].p[0].x);
        y[i] = clamp_coordinate(seg[i].p[0].y);
    }
    if (n == 5 && (x[4] != x[0] || y[4] != y[0]))
        return false;
    // Edges alternate between level and upright, whichever comes first.
    const bool level_first = y[1] == y[0];
    for (size_t i = 0; i < 4; ++i) {
        const size_t j = (i + 1) % 4;
        const bool level = (i % 2 == 0) == level_first;
        if (level ? y[j] != y[i] : x[j] != x[i])
            return false;
    }
    r[0] = {static_cast<int16_t>(std::min(x[0], x[2])), static_cast<int16_t>(std::min(y[0], y[2]))};
    r[1] = {static_cast<int16_t>(std::max(x[0], x[2])), static_cast<int16_t>(std::max(y[0], y[2]))};
    return r[1].x > r[0].x && r[1].y > r[0].y;
}

// The subpaths of an area (each from a move to the next), with their
// rectangles when they are axis-aligned ones. True when the path has
// several subpaths whose insides do not overlap and at least half of them
// are rectangles: then each rectangle can go as one, in any direction,
// without changing what either fill rule paints.
struct Subpath {
    size_t begin, end;
    bool rectangle;
    _point16 box[2];
};

bool disjoint_rectangles(const Path &path, std::vector<Subpath> &parts) {
    constexpr size_t kMaxParts = 100000, kMaxComparisons = 64;
    const auto &seg = path.segments;
    parts.clear();
    size_t rectangles = 0;
    for (size_t at = 0; at < seg.size();) {
        size_t end = at + 1;
        while (end < seg.size() && seg[end].kind != PathSegment::Move)
            ++end;
        if (seg[at].kind != PathSegment::Move || parts.size() >= kMaxParts)
            return false;
        Subpath part{at, end, false, {}};
        Path one;
        one.segments.assign(seg.begin() + at, seg.begin() + end);
        if (as_rectangle(one, part.box)) {
            part.rectangle = true;
            ++rectangles;
        } else {
            int x0 = kMaxCoordinate, y0 = kMaxCoordinate, x1 = -kMaxCoordinate,
                y1 = -kMaxCoordinate;
            for (size_t i = at; i < end; ++i) {
                const int points = seg[i].kind == PathSegment::Curve   ? 3
                                   : seg[i].kind == PathSegment::Close ? 0
                                                                       : 1;
                for (int k = 0; k < points; ++k) {
                    const int x = clamp_coordinate(seg[i].p[k].x),
                              y = clamp_coordinate(seg[i].p[k].y);
                    x0 = std::min(x0, x), y0 = std::min(y0, y);
                    x1 = std::max(x1, x), y1 = std::max(y1, y);
                }
            }
            part.box[0] = {static_cast<int16_t>(x0), static_cast<int16_t>(y0)};
            part.box[1] = {static_cast<int16_t>(x1), static_cast<int16_t>(y1)};
        }
        parts.push_back(part);
        at = end;
    }
    if (parts.size() < 2 || rectangles * 2 < parts.size())
        return false;
    std::vector<const Subpath *> by_x(parts.size());
    for (size_t i = 0; i < parts.size(); ++i)
        by_x[i] = &parts[i];
    std::sort(by_x.begin(), by_x.end(),
              [](const Subpath *a, const Subpath *b) { return a->box[0].x < b->box[0].x; });
    size_t comparisons = 0;
    for (size_t i = 0; i < by_x.size(); ++i) {
        const _point16 *a = by_x[i]->box;
        for (size_t j = i + 1; j < by_x.size() && by_x[j]->box[0].x < a[1].x; ++j) {
            const _point16 *b = by_x[j]->box;
            if (b[0].y < a[1].y && a[0].y < b[1].y && b[1].x > b[0].x && a[1].x > a[0].x)
                return false;
            if (++comparisons > kMaxComparisons * parts.size())
                return false;
        }
    }
    return true;
}

// Coordinates beyond the 16-bit range are clamped, which moves points. Only
// a path made of level and upright lines keeps its shape when clamped;
// another that reaches so far is drawn as a region instead. Sets `box` to
// the path's bounds (control points included).
bool keeps_shape_when_clamped(const Path &path, Rect &box) {
    bool far = false, straight = true;
    Point last{};
    box = {1e300, 1e300, -1e300, -1e300};
    for (const PathSegment &s : path.segments) {
        const int points = s.kind == PathSegment::Curve ? 3 : s.kind == PathSegment::Close ? 0 : 1;
        for (int i = 0; i < points; ++i) {
            const Point &p = s.p[i];
            far |= !(std::fabs(p.x) <= kMaxCoordinate && std::fabs(p.y) <= kMaxCoordinate);
            box = {std::min(box.x0, p.x), std::min(box.y0, p.y), std::max(box.x1, p.x),
                   std::max(box.y1, p.y)};
        }
        if (s.kind == PathSegment::Curve ||
            (s.kind == PathSegment::Line && s.p[0].x != last.x && s.p[0].y != last.y))
            straight = false;
        if (points)
            last = s.p[points - 1];
    }
    return !far || straight;
}

// True when the path or one of its subpaths is thinner than `limit` pixels
// (rules drawn as rows of hairline bars in one path).
bool has_thin_part(const Path &path, const Rect &box, double limit) {
    if (std::min(box.x1 - box.x0, box.y1 - box.y0) < limit)
        return true;
    Rect part{};
    bool drawn = false; // a lone move paints nothing
    auto thin = [&] { return drawn && std::min(part.x1 - part.x0, part.y1 - part.y0) < limit; };
    for (const PathSegment &s : path.segments) {
        const int points = s.kind == PathSegment::Curve ? 3 : s.kind == PathSegment::Close ? 0 : 1;
        if (s.kind == PathSegment::Move) {
            if (thin())
                return true;
            part = {s.p[0].x, s.p[0].y, s.p[0].x, s.p[0].y};
            drawn = false;
            continue;
        }
        drawn |= points > 0;
        for (int i = 0; i < points; ++i)
            part = {std::min(part.x0, s.p[i].x), std::min(part.y0, s.p[i].y),
                    std::max(part.x1, s.p[i].x), std::max(part.y1, s.p[i].y)};
    }
    return thin();
}

} // namespace

std::vector<short> dash_pattern(const std::vector<double> &dashes, double phase) {
    std::vector<double> d;
    for (double v : dashes)
        d.push_back(std::max(v, 0.0)); // NaN and negative lengths count as 0
    if (d.size() % 2) {
        const std::vector<double> once = d;
        d.insert(d.end(), once.begin(), once.end());
    }
    double period = 0;
    for (double v : d)
        period += v;
    if (d.empty() || !(period >= 1) || d.size() > 20)
        return {};
    phase = std::fmod(phase, period);
    if (!(phase >= 0))
        phase = phase < 0 ? phase + period : 0;
    size_t i = 0;
    while (i < d.size() && phase > 0 && phase >= d[i])
        phase -= d[i++];
    if (i == d.size())
        i = 0, phase = 0;
    // From `phase` into element i round to the part of it skipped; a
    // pattern starting in a gap gets a zero dash first, and an odd count a
    // zero gap last, so that dashes and gaps keep alternating.
    std::vector<double> r;
    if (i % 2)
        r.push_back(0);
    r.push_back(d[i] - phase);
    for (size_t k = i + 1; k < d.size(); ++k)
        r.push_back(d[k]);
    for (size_t k = 0; k < i; ++k)
        r.push_back(d[k]);
    if (phase > 0)
        r.push_back(phase);
    if (r.size() % 2)
        r.push_back(0);
    if (r.size() > 20)
        return {};
    std::vector<short> out;
    bool any = false;
    for (double v : r) {
        out.push_back(static_cast<short>(std::min(std::lround(v), 32767L)));
        any |= out.back() > 0;
    }
    return any ? out : std::vector<short>();
}

// New path with the segments; false when nothing would be painted. An area
// (a fill or a clip) that is a rectangle goes as one, and so do the
// rectangles of an area made of rectangles that do not overlap.
bool Converter::emit_path(const Path &path, bool area) {
    _point16 rect[2];
    if (area && as_rectangle(path, rect)) {
        pclxl_add_rect16(rect);
        return true;
    }
    bool drawn = false;
    for (const PathSegment &s : path.segments)
        drawn |= s.kind == PathSegment::Line || s.kind == PathSegment::Curve;
    if (!drawn)
        return false;
    std::vector<Subpath> parts;
    if (area && disjoint_rectangles(path, parts)) {
        pclxl_new_path();
        for (const Subpath &part : parts) {
            if (part.rectangle) {
                _pclxl_add_boundingBox16(const_cast<_point16 *>(part.box));
                _pclxl_set_operator(kRectanglePath);
            } else {
                Path one;
                one.segments.assign(path.segments.begin() + part.begin,
                                    path.segments.begin() + part.end);
                emit_segments(one);
            }
        }
        return true;
    }
    pclxl_new_path();
    emit_segments(path);
    return true;
}

// The segments into the current path.
void Converter::emit_segments(const Path &path) {
    std::vector<_point16> batch;
    unsigned char batch_op = 0;
    auto flush = [&] {
        for (size_t at = 0; at < batch.size();) {
            // Whole curves per block, at most 16383 points.
            size_t n =
                std::min<size_t>(batch.size() - at, 16383 - (batch_op == 0x93 ? 16383 % 3 : 0));
            pclxl_add_polyLinePath16(batch.data() + at, static_cast<unsigned>(n), batch_op);
            at += n;
        }
        batch.clear();
    };
    bool open = false; // a current point exists
    for (const PathSegment &s : path.segments) {
        switch (s.kind) {
        case PathSegment::Move:
            flush();
            pclxl_set_cursorXY(clamp_coordinate(s.p[0].x), clamp_coordinate(s.p[0].y));
            open = true;
            break;
        case PathSegment::Line:
        case PathSegment::Curve: {
            if (!open)
                break;
            const unsigned char op = s.kind == PathSegment::Line ? 0x9B : 0x93;
            if (op != batch_op)
                flush();
            batch_op = op;
            const int points = s.kind == PathSegment::Line ? 1 : 3;
            for (int i = 0; i < points; ++i) {
                _point16 p;
                pclxl_assign_points_with_check(&p, clamp_coordinate(s.p[i].x),
                                               clamp_coordinate(s.p[i].y));
                batch.push_back(p);
            }
            break;
        }
        case PathSegment::Close:
            flush();
            if (open)
                pclxl_close_sub_path();
            break;
        }
    }
    flush();
}

void Converter::fill_path(const Path &path, bool even_odd, Rgb color) {
    Rect box;
    if (!keeps_shape_when_clamped(path, box)) {
        fallback(box);
        return;
    }
    set_rop(kRopPatternCopy);
    set_paint_tx(0); // white shapes paint white
    set_brush(color_paint(color));
    // The printer paints the pixels whose centres are inside; a shape
    // thinner than a pixel or two (rules drawn as thin rectangles) would
    // lose pixels or vanish. Its one-pixel outline paints every pixel it
    // touches, as a PDF renderer does.
    if (has_thin_part(path, box, kThinShape)) {
        set_pen(color_paint(color));
        set_stroke(StrokeStyle());
    } else {
        set_pen({Paint::None, {}});
    }
    const int mode = even_odd ? 1 : 0;
    if (gs().fill_mode != mode) {
        pclxl_set_fill_mode(mode);
        gs().fill_mode = mode;
    }
    if (!emit_path(path, true))
        return;
    pclxl_paint_path();
    ++page_paths_;
    ++stats_.paths;
}

void Converter::set_stroke(const StrokeStyle &style) {
    const int width = std::clamp(static_cast<int>(std::lround(style.width)), 1, 65535);
    if (gs().pen_width != width) {
        if (width <= 255) {
            pclxl_set_pen_width(width);
        } else {
            _pclxl_add_attribute(width, kAttrPenWidth, kTypeUInt16);
            _pclxl_set_operator(kSetPenWidth);
        }
        gs().pen_width = width;
    }
    const int cap = static_cast<int>(style.cap), join = static_cast<int>(style.join);
    if (gs().cap != cap) {
        pclxl_set_line_cap_style(cap);
        gs().cap = cap;
    }
    if (gs().join != join) {
        pclxl_set_line_join_style(join);
        gs().join = join;
    }
    const int miter = std::clamp(static_cast<int>(std::lround(style.miter_limit)), 1, 32767);
    if (style.join == Join::Miter && gs().miter != miter) {
        // As an unsigned value: interpreters reject a signed miter length.
        _pclxl_add_attribute(miter, kAttrMiterLength, kTypeUInt16);
        _pclxl_set_operator(kSetMiterLimit);
        gs().miter = miter;
    }
    const std::vector<short> dash = dash_pattern(style.dashes, style.dash_phase);
    if (!gs().dash_known || gs().dash != dash) {
        if (dash.empty())
            pclxl_set_solid_line();
        else
            pclxl_set_line_dash(dash.data(), static_cast<unsigned short>(dash.size()));
        gs().dash = dash;
        gs().dash_known = true;
    }
}

void Converter::stroke_path(const Path &path, const StrokeStyle &style, Rgb color) {
    Rect box;
    if (!keeps_shape_when_clamped(path, box)) {
        // Wide enough for caps and miters.
        const double grow = style.width * std::max(style.miter_limit, 2.0);
        fallback({box.x0 - grow, box.y0 - grow, box.x1 + grow, box.y1 + grow});
        return;
    }
    set_rop(kRopPatternCopy);
    set_paint_tx(0);
    set_pen(color_paint(color));
    set_brush({Paint::None, {}});
    set_stroke(style);
    if (!emit_path(path, false))
        return;
    pclxl_paint_path();
    ++page_paths_;
    ++stats_.paths;
}

} // namespace pclxl::pdf
