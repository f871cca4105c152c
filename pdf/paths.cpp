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

// Filled shapes thinner than this (pixels) are outlined too.
constexpr double kThinShape = 2;

// How far (pixels) a point may lie off a line that stands for it.
constexpr double kNeedless = 0.5;

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

// The box of a path that is one axis-aligned ellipse drawn as four quarter
// curves from one end of an axis (as PDF producers draw circles), in whole
// pixels; `closed` tells whether the path ends with a close. Each control
// point must lie where a quarter of that ellipse puts it, within half a
// pixel (and a fifth of a percent of the radius, for the rounding of the
// curve constant), so that the printer's ellipse covers the same pixels.
bool as_ellipse(const Path &path, _point16 box[2], bool &closed) {
    const auto &seg = path.segments;
    size_t n = seg.size();
    closed = n && seg[n - 1].kind == PathSegment::Close;
    if (closed)
        --n;
    if (n != 5 || seg[0].kind != PathSegment::Move)
        return false;
    double x0 = seg[0].p[0].x, x1 = x0, y0 = seg[0].p[0].y, y1 = y0;
    for (size_t i = 1; i < 5; ++i) {
        if (seg[i].kind != PathSegment::Curve)
            return false;
        const Point &e = seg[i].p[2];
        x0 = std::min(x0, e.x), x1 = std::max(x1, e.x);
        y0 = std::min(y0, e.y), y1 = std::max(y1, e.y);
    }
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, rx = (x1 - x0) / 2, ry = (y1 - y0) / 2;
    if (!(rx >= 1 && ry >= 1) || std::fabs(x1) > kMaxCoordinate || std::fabs(x0) > kMaxCoordinate ||
        std::fabs(y1) > kMaxCoordinate || std::fabs(y0) > kMaxCoordinate)
        return false;
    constexpr double kKappa = 0.5522847498;
    const double tol = 0.5 + 0.002 * std::max(rx, ry);
    auto near = [tol](const Point &a, double x, double y) {
        return std::fabs(a.x - x) <= tol && std::fabs(a.y - y) <= tol;
    };
    // Endpoints alternate between the ends of the level axis and of the
    // upright one.
    auto on_level = [&](const Point &p) { return near(p, cx - rx, cy) || near(p, cx + rx, cy); };
    auto on_upright = [&](const Point &p) { return near(p, cx, cy - ry) || near(p, cx, cy + ry); };
    Point s = seg[0].p[0];
    for (size_t i = 1; i < 5; ++i) {
        const Point &c1 = seg[i].p[0], &c2 = seg[i].p[1], &e = seg[i].p[2];
        const bool level = on_level(s);
        if (!(level ? on_upright(e) : on_level(e)))
            return false;
        // The quarter's corner: tangents are upright at the level axis's
        // ends and level at the upright one's.
        const Point corner = level ? Point{s.x, e.y} : Point{e.x, s.y};
        if (!near(c1, s.x + kKappa * (corner.x - s.x), s.y + kKappa * (corner.y - s.y)) ||
            !near(c2, e.x + kKappa * (corner.x - e.x), e.y + kKappa * (corner.y - e.y)))
            return false;
        s = e;
    }
    if (!near(s, seg[0].p[0].x, seg[0].p[0].y))
        return false;
    box[0] = {static_cast<int16_t>(clamp_coordinate(x0)),
              static_cast<int16_t>(clamp_coordinate(y0))};
    box[1] = {static_cast<int16_t>(clamp_coordinate(x1)),
              static_cast<int16_t>(clamp_coordinate(y1))};
    return true;
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

// Distance from p to the segment a-b.
double distance_to_segment(const Point &p, const Point &a, const Point &b) {
    const double dx = b.x - a.x, dy = b.y - a.y, l = dx * dx + dy * dy;
    const double t = l > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l, 0.0, 1.0) : 0;
    return std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
}

Point whole(const Point &p) {
    return {double(clamp_coordinate(p.x)), double(clamp_coordinate(p.y))};
}

} // namespace

Path without_needless_points(const Path &path, double tolerance) {
    constexpr size_t kWindow = 64; // points one line may stand for, at most
    const auto &seg = path.segments;
    Path out;
    out.segments.reserve(seg.size());
    Point anchor{}, start{}; // where the printer's pen is, in whole pixels
    for (size_t i = 0; i < seg.size();) {
        const PathSegment &s = seg[i];
        if (s.kind != PathSegment::Line || out.segments.empty()) {
            out.segments.push_back(s);
            if (s.kind == PathSegment::Move)
                start = anchor = whole(s.p[0]);
            else if (s.kind == PathSegment::Close)
                anchor = start;
            else if (s.kind != PathSegment::Line)
                anchor = whole(s.p[2]);
            else
                anchor = whole(s.p[0]);
            ++i;
            continue;
        }
        // The farthest line end such that every point passed on the way
        // lies within the tolerance of the one line from the anchor.
        size_t end = i;
        while (end + 1 < seg.size() && seg[end + 1].kind == PathSegment::Line &&
               end + 1 - i < kWindow) {
            const Point to = whole(seg[end + 1].p[0]);
            bool fits = true;
            for (size_t k = i; k <= end && fits; ++k)
                fits = distance_to_segment(seg[k].p[0], anchor, to) <= tolerance;
            if (!fits)
                break;
            ++end;
        }
        out.segments.push_back(seg[end]);
        anchor = whole(seg[end].p[0]);
        i = end + 1;
    }
    return out;
}

bool chain_outside_clip(const Path &path, const Rect &box, Path &out) {
    const auto &seg = path.segments;
    struct Line {
        Point a, b;
    };
    std::vector<Line> lines;
    for (size_t i = 0; i < seg.size(); ++i) {
        if (seg[i].kind != PathSegment::Move)
            return false;
        if (i + 1 < seg.size() && seg[i + 1].kind == PathSegment::Line) {
            lines.push_back({seg[i].p[0], seg[i + 1].p[0]});
            ++i;
        }
    }
    if (lines.size() < 2 || box.empty())
        return false;
    // Each line cut to the box (parametric clipping).
    auto cut = [&box](Line &l) {
        double t0 = 0, t1 = 1;
        const double d[2] = {l.b.x - l.a.x, l.b.y - l.a.y};
        const double from[2] = {l.a.x, l.a.y}, lo[2] = {box.x0, box.y0}, hi[2] = {box.x1, box.y1};
        for (int axis = 0; axis < 2; ++axis) {
            if (d[axis] == 0) {
                if (from[axis] < lo[axis] || from[axis] > hi[axis])
                    return false;
                continue;
            }
            double ta = (lo[axis] - from[axis]) / d[axis], tb = (hi[axis] - from[axis]) / d[axis];
            if (ta > tb)
                std::swap(ta, tb);
            t0 = std::max(t0, ta), t1 = std::min(t1, tb);
        }
        if (!(t0 < t1))
            return false;
        const Line whole_line = l;
        l.a = {whole_line.a.x + t0 * d[0], whole_line.a.y + t0 * d[1]};
        l.b = {whole_line.a.x + t1 * d[0], whole_line.a.y + t1 * d[1]};
        return true;
    };
    const double w = box.x1 - box.x0, h = box.y1 - box.y0, perimeter = 2 * (w + h);
    constexpr double kEdge = 1e-6;
    // Position along the box's edge, clockwise from its first corner; -1
    // off the edge.
    auto along = [&](const Point &p) {
        if (std::fabs(p.y - box.y0) < kEdge)
            return p.x - box.x0;
        if (std::fabs(p.x - box.x1) < kEdge)
            return w + (p.y - box.y0);
        if (std::fabs(p.y - box.y1) < kEdge)
            return w + h + (box.x1 - p.x);
        if (std::fabs(p.x - box.x0) < kEdge)
            return 2 * w + h + (box.y1 - p.y);
        return -1.0;
    };
    const double corner_at[4] = {0, w, w + h, 2 * w + h};
    const Point corner[4] = {
        {box.x0, box.y0}, {box.x1, box.y0}, {box.x1, box.y1}, {box.x0, box.y1}};
    auto segment = [](PathSegment::Kind kind, const Point &p) {
        PathSegment s{};
        s.kind = kind;
        s.p[0] = p;
        return s;
    };
    // Along the edge from one position to another, the shorter way round.
    auto walk = [&](double from, double to) {
        double ahead = std::fmod(to - from + perimeter, perimeter);
        const bool clockwise = ahead <= perimeter / 2;
        const double length = clockwise ? ahead : perimeter - ahead;
        std::vector<std::pair<double, int>> passed;
        for (int c = 0; c < 4; ++c) {
            const double d = clockwise ? std::fmod(corner_at[c] - from + perimeter, perimeter)
                                       : std::fmod(from - corner_at[c] + perimeter, perimeter);
            if (d > 0 && d < length)
                passed.push_back({d, c});
        }
        std::sort(passed.begin(), passed.end());
        for (const auto &c : passed)
            out.segments.push_back(segment(PathSegment::Line, corner[c.second]));
    };
    out.segments.clear();
    std::vector<Line> inside; // lines with an end inside the box go as they are
    bool chained = false;
    double at = 0;
    for (Line l : lines) {
        if (!cut(l))
            continue;
        double pa = along(l.a), pb = along(l.b);
        if (pa < 0 || pb < 0) {
            inside.push_back(l);
            continue;
        }
        if (!chained) {
            out.segments.push_back(segment(PathSegment::Move, l.a));
            chained = true;
        } else {
            // Start from the end nearer along the edge.
            auto gap = [&](double p) {
                const double d = std::fmod(p - at + perimeter, perimeter);
                return std::min(d, perimeter - d);
            };
            if (gap(pb) < gap(pa)) {
                std::swap(l.a, l.b);
                std::swap(pa, pb);
            }
            walk(at, pa);
            out.segments.push_back(segment(PathSegment::Line, l.a));
        }
        out.segments.push_back(segment(PathSegment::Line, l.b));
        at = pb;
    }
    for (const Line &l : inside) {
        out.segments.push_back(segment(PathSegment::Move, l.a));
        out.segments.push_back(segment(PathSegment::Line, l.b));
    }
    return true;
}

std::vector<short> dash_pattern(const std::vector<double> &dashes, double phase, int max_entries) {
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
    if (d.empty() || !(period >= 1))
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
    // A printer that takes fewer lengths gets the pattern's start.
    if (r.size() > size_t(std::max(max_entries, 0)))
        r.resize(size_t(std::max(max_entries, 0)) & ~size_t(1));
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
bool Converter::emit_path(const Path &path, bool area, bool dashed) {
    _point16 rect[2];
    if (area && as_rectangle(path, rect)) {
        pclxl_add_rect16(rect);
        return true;
    }
    // An ellipse has no start the printer would keep: fine for a fill and
    // for a solid closed outline.
    bool closed = false;
    if (as_ellipse(path, rect, closed) && (area || (closed && !dashed))) {
        pclxl_new_path();
        pclxl_ellipse_path16(rect);
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
                pclxl_rectangle_path16(part.box);
            } else {
                Path one;
                one.segments.assign(path.segments.begin() + part.begin,
                                    path.segments.begin() + part.end);
                bool closed_part = false;
                if (as_ellipse(one, rect, closed_part))
                    pclxl_ellipse_path16(rect); // disjoint: direction does not matter
                else
                    emit_segments(one, true);
            }
        }
        return true;
    }
    pclxl_new_path();
    // Dashes are laid along the length, which leaving out points shortens.
    emit_segments(dashed ? path : without_needless_points(path, kNeedless), area);
    return true;
}

// The segments into the current path, in as few bytes as the printer
// language allows: the lines and curves between a move and a close go in
// blocks of one kind, as signed bytes relative to the point before when
// every step of the block fits, else as absolute 16-bit points; a lone line
// goes as its end point. The points are the same whole pixels either way.
// `area`: the path is filled or clips, which closes its subpaths.
void Converter::emit_segments(const Path &path, bool area) {
    struct Step {
        bool curve;
        bool small; // every relative coordinate fits a signed byte
        _point16 abs[3], rel[3];
    };
    std::vector<Step> steps;
    std::vector<_point16> points;
    auto flush = [&] {
        for (size_t at = 0; at < steps.size();) {
            const bool curve = steps[at].curve, small = steps[at].small;
            const int n = curve ? 3 : 1;
            size_t end = at + 1;
            // Whole curves per block, at most 16383 points.
            while (end < steps.size() && steps[end].curve == curve && steps[end].small == small &&
                   (end - at + 1) * n <= 16383)
                ++end;
            if (!curve && end - at == 1) {
                pclxl_end_path(steps[at].abs[0].x, steps[at].abs[0].y);
            } else {
                points.clear();
                for (size_t k = at; k < end; ++k)
                    points.insert(points.end(), small ? steps[k].rel : steps[k].abs,
                                  (small ? steps[k].rel : steps[k].abs) + n);
                const unsigned char op =
                    curve ? (small ? PCLXL_PATH_CURVES_RELATIVE : PCLXL_PATH_CURVES)
                          : (small ? PCLXL_PATH_LINES_RELATIVE : PCLXL_PATH_LINES);
                pclxl_add_path_points(op, small ? PCLXL_POINTS_SBYTE : PCLXL_POINTS_SINT16,
                                      points.data(), static_cast<unsigned>(points.size()));
            }
            at = end;
        }
        steps.clear();
    };
    bool open = false;      // a current point exists
    _point16 at{}, start{}; // the current point, and where its subpath began
    auto point = [](const Point &p) {
        _point16 q;
        pclxl_assign_points_with_check(&q, clamp_coordinate(p.x), clamp_coordinate(p.y));
        return q;
    };
    for (const PathSegment &s : path.segments) {
        switch (s.kind) {
        case PathSegment::Move:
            flush();
            start = at = point(s.p[0]);
            pclxl_set_cursorXY(at.x, at.y);
            open = true;
            break;
        case PathSegment::Line:
        case PathSegment::Curve: {
            if (!open)
                break;
            Step step{s.kind == PathSegment::Curve, true, {}, {}};
            const int n = step.curve ? 3 : 1;
            for (int i = 0; i < n; ++i) {
                step.abs[i] = point(s.p[i]);
                const int dx = step.abs[i].x - at.x, dy = step.abs[i].y - at.y;
                step.small &= dx >= -128 && dx <= 127 && dy >= -128 && dy <= 127;
                step.rel[i] = {static_cast<int16_t>(dx), static_cast<int16_t>(dy)};
            }
            at = step.abs[n - 1];
            steps.push_back(step);
            break;
        }
        case PathSegment::Close:
            flush();
            if (open) {
                // An area closes its subpaths itself; a close counts only
                // when a line or curve follows from the start point.
                const bool last =
                    &s == &path.segments.back() || (&s + 1)->kind == PathSegment::Move;
                if (!area || !last)
                    pclxl_close_sub_path();
                at = start;
            }
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
    if (survey_)
        return;
    painted(box);
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
    if (!emit_path(path, true, false))
        return;
    pclxl_paint_path();
    ++page_paths_;
    ++stats_.paths;
}

void Converter::set_stroke(const StrokeStyle &style) {
    // Whole pixels, up: a renderer paints every pixel a stroke touches, the
    // printer a pen as wide as it is told (a hundredth is rounding noise).
    const int width = std::clamp(static_cast<int>(std::ceil(style.width - 0.01)), 1, 65535);
    if (gs().pen_width != width) {
        pclxl_set_pen_width16(static_cast<uint16_t>(width));
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
        pclxl_set_miter_length(static_cast<uint16_t>(miter));
        gs().miter = miter;
    }
    const std::vector<short> dash =
        dash_pattern(style.dashes, style.dash_phase, opts_.max_dash_entries);
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
    if (survey_)
        return;
    const double grow = style.width * std::max(style.miter_limit, 2.0);
    painted({box.x0 - grow, box.y0 - grow, box.x1 + grow, box.y1 + grow});
    set_rop(kRopPatternCopy);
    set_paint_tx(0);
    set_pen(color_paint(color));
    set_brush({Paint::None, {}});
    set_stroke(style);
    const bool dashed = !style.dashes.empty();
    if (!dashed && !clip_boxes_.empty()) {
        // Beyond this margin around the clip the pen paints nothing that
        // shows: half a pen, times the miter limit for miter joins, plus
        // a pen and rounding.
        const double pen = gs().pen_width,
                     m = pen * (style.join == Join::Miter ? std::max(style.miter_limit, 1.0) : 1) /
                             2 +
                         pen + 2;
        const Rect &c = clip_boxes_.back();
        Path chained;
        if (!c.empty() &&
            chain_outside_clip(path, {c.x0 - m, c.y0 - m, c.x1 + m, c.y1 + m}, chained)) {
            if (!emit_path(chained, false, false))
                return;
            pclxl_paint_path();
            ++page_paths_;
            ++stats_.paths;
            return;
        }
    }
    if (!emit_path(path, false, dashed))
        return;
    pclxl_paint_path();
    ++page_paths_;
    ++stats_.paths;
}

} // namespace pclxl::pdf
