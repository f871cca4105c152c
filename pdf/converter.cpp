// The converter core: plays each selected page of a document into PCL XL
// through the library's public calls. Paths stay paths, text becomes
// downloaded bitmap fonts, images are placed by their matrix, and what the
// printer language cannot express is rendered to an image of its region.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "jpeg_encode.h"
#include "layout.h"
#include "page_source.h"
#include "pclxl.h"
#include "pclxl.hpp"
#include "pdf_job.h"

namespace pclxl::pdf {

namespace {

// Operators and attributes the library has no call of its own for.
constexpr unsigned char kPopGS = 0x60, kPushGS = 0x61, kSetPaintTxMode = 0x78,
                        kSetSourceTxMode = 0x7C, kSetPenWidth = 0x7A, kSetMiterLimit = 0x73,
                        kRectanglePath = 0xA1;
constexpr unsigned char kAttrTxMode = 0x2D, kAttrPenWidth = 0x4B, kAttrMiterLength = 0x49;
constexpr unsigned short kTypeUByte = 1, kTypeUInt16 = 2;
constexpr int kRopSourceCopy = 204, kRopPatternCopy = 240;
constexpr int kGray = 1, kRgb = 2;
// Images that came as JPEG and had to be resampled go as JPEG again.
constexpr int kJpegQuality = 85;

// Interpreters keep a few hundred graphics states; the page holds one.
constexpr int kMaxClipDepth = 200;
// Glyphs larger than this (pixels per em) are drawn from their outlines:
// bitmaps would grow with the square of the size.
constexpr double kMaxGlyphEm = 250;
// Filled shapes thinner than this (pixels) are outlined too.
constexpr double kThinShape = 2;
// A page with more regions than this goes as one image.
constexpr int kMaxFallbacks = 24;
// Rows the library can send: at most 32767 bytes.
constexpr int kMaxRowBytes = 32767;
// The largest decoded image the converter holds at once.
constexpr size_t kMaxImageBytes = size_t(256) << 20;
constexpr int kMaxCoordinate = 32700;

struct PageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

uint8_t gray_of(Rgb c) { return static_cast<uint8_t>((c.r * 30 + c.g * 59 + c.b * 11 + 50) / 100); }

int clamp_coordinate(double v) {
    if (!(v == v))
        return 0;
    return static_cast<int>(
        std::lround(std::clamp(v, -double(kMaxCoordinate), double(kMaxCoordinate))));
}

// ---------------------------------------------------------------------
// Output: pieces go to a buffer until a page is complete, so that a page
// that fails part way is dropped whole and the job ends cleanly after the
// last good page.

class Output {
  public:
    Output(const JobOptions &options) : options_(options) {
        writer_ = pclxl_writer_new(this, collect);
        if (!writer_)
            throw std::bad_alloc();
        host_ = pclxl_writer_use(writer_);
        pclxl_set_message_handler(message, this);
    }
    ~Output() {
        pclxl_writer_use(host_);
        pclxl_writer_free(writer_);
    }
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    std::vector<unsigned char> pending;

    // Sends what is pending to the host's writer, unchanged.
    void flush() {
        constexpr size_t kChunk = size_t(1) << 20;
        pclxl_writer_use(host_);
        for (size_t at = 0; at < pending.size(); at += kChunk) {
            const size_t n = std::min(kChunk, pending.size() - at);
            pclxl_write_embed_data(pending.data() + at, static_cast<unsigned int>(n));
        }
        pclxl_writer_use(writer_);
        pending.clear();
    }

  private:
    static void collect(const void *buffer, unsigned int length, const void *context) {
        auto *out = static_cast<Output *>(const_cast<void *>(context));
        const auto *p = static_cast<const unsigned char *>(buffer);
        out->pending.insert(out->pending.end(), p, p + length);
    }
    // The library's trace lines are dropped; its warnings and errors are
    // reported with --verbose.
    static void message(const char *line, void *user) {
        const auto *out = static_cast<const Output *>(user);
        if (!out->options_.verbose || !out->options_.message ||
            (std::strncmp(line, "Warning", 7) && !std::strstr(line, "Fatal Error")))
            return;
        out->options_.message(line, out->options_.message_user);
    }

    const JobOptions &options_;
    pclxl_writer *writer_ = nullptr;
    pclxl_writer *host_ = nullptr;
};

// ---------------------------------------------------------------------
// Graphics state as the printer holds it, so that nothing is sent twice.

struct Paint {
    enum Kind { Unknown, None, Color } kind = Unknown;
    Rgb color;
    bool operator==(const Paint &o) const {
        return kind == o.kind && (kind != Color || color == o.color);
    }
};

struct GState {
    int rop = kRopSourceCopy;
    int space = 0; // 0 unknown
    Paint brush{Paint::None, {}}, pen{Paint::None, {}};
    int fill_mode = 0;
    int source_tx = 0, paint_tx = 0;
    int pen_width = -1, cap = -1, join = -1, miter = -1;
    std::vector<short> dash; // empty: solid (the page default)
    bool dash_known = true;
    int clip_mode = 0;
    int font = -1;
};

struct FontKey {
    int font;
    long m[4];
    bool operator<(const FontKey &o) const {
        return std::tie(font, m[0], m[1], m[2], m[3]) <
               std::tie(o.font, o.m[0], o.m[1], o.m[2], o.m[3]);
    }
};

// One downloaded bitmap font: a document font at one size and rotation.
struct PclFont {
    int index = 0;
    std::string name;
    std::map<int, int> codes; // glyph -> character code; -1 for blank glyphs
    int next_code = 0x20;
};

// ---------------------------------------------------------------------

class Converter final : public PageSink {
  public:
    Converter(Document &doc, const JobOptions &options, JobStats &stats)
        : doc_(doc), opts_(options), stats_(stats) {}

    void begin_page() {
        stack_.assign(1, GState());
        clip_depth_ = 0;
        page_paths_ = page_images_ = page_glyphs_ = page_fallbacks_ = 0;
    }
    std::string page_summary() const {
        return std::to_string(page_paths_) + " paths, " + std::to_string(page_glyphs_) +
               " glyphs, " + std::to_string(page_images_) + " images, " +
               std::to_string(page_fallbacks_) + " fallback regions";
    }
    void set_page_area(const Rect &area) { area_ = area; }
    bool too_many_regions() const { return page_fallbacks_ >= kMaxFallbacks; }
    // What a page changes beyond its own bytes, to undo a page sent again.
    struct Snapshot {
        std::map<FontKey, PclFont> fonts;
        JobStats stats;
    };
    Snapshot snapshot() const { return {fonts_, stats_}; }
    void restore(const Snapshot &s) {
        fonts_ = s.fonts;
        stats_ = s.stats;
    }

    void fill_path(const Path &path, bool even_odd, Rgb color) override;
    void stroke_path(const Path &path, const StrokeStyle &style, Rgb color) override;
    void push_clip(const Path &path, bool even_odd) override;
    void pop_clip() override;
    bool fill_text(const GlyphRun &run) override;
    void draw_image(Image &image) override;
    void draw_image_mask(const Pixels &mask, const Matrix &placement, Rgb color) override;
    void fallback(const Rect &area) override;

    // Places pixels by their unit-square matrix (images, regions, and the
    // whole page on the raster route).
    void place_pixels(const Pixels &pixels, const Matrix &placement, bool mask, Rgb mask_color);

  private:
    GState &gs() { return stack_.back(); }
    void set_rop(int rop);
    void set_space(int space);
    void set_brush(Paint p);
    void set_pen(Paint p);
    void set_source_tx(int mode);
    void set_paint_tx(int mode);
    Paint color_paint(Rgb c) const { return {Paint::Color, c}; }
    bool emit_path(const Path &path, bool area);
    void emit_segments(const Path &path);
    void set_stroke(const StrokeStyle &style);
    PclFont &font_for(const GlyphRun &run);
    int code_for(PclFont &font, const GlyphRun &run, int glyph);
    void write_image(const Pixels &px, int x, int y, int w, int h, bool mask, Rgb mask_color);
    void send_jpeg(const std::vector<uint8_t> &jpeg, int components, int width, int height, int x,
                   int y, int w, int h);

    Document &doc_;
    const JobOptions &opts_;
    JobStats &stats_;
    Rect area_;
    std::vector<GState> stack_;
    int clip_depth_ = 0;
    std::map<FontKey, PclFont> fonts_;
    int page_paths_ = 0, page_images_ = 0, page_glyphs_ = 0, page_fallbacks_ = 0;
    bool as_jpeg_ = false; // the image being placed came as JPEG: send it as JPEG again
};

void Converter::set_rop(int rop) {
    if (gs().rop != rop) {
        pclxl_set_rop3(rop);
        gs().rop = rop;
    }
}

void Converter::set_space(int space) {
    if (gs().space != space) {
        pclxl_set_color_space(space);
        gs().space = space;
        // Pen and brush are sent again in the new space.
        gs().brush.kind = gs().brush.kind == Paint::Color ? Paint::Unknown : gs().brush.kind;
        gs().pen.kind = gs().pen.kind == Paint::Color ? Paint::Unknown : gs().pen.kind;
    }
}

void Converter::set_brush(Paint p) {
    if (gs().brush == p)
        return;
    if (p.kind == Paint::None) {
        pclxl_set_brush_source_null();
    } else if (opts_.color) {
        set_space(kRgb);
        pclxl_addRGBColor(p.color.r << 16 | p.color.g << 8 | p.color.b);
        pclxl_set_brush_source();
    } else {
        set_space(kGray);
        pclxl_addGrayAttr(gray_of(p.color));
        pclxl_set_brush_source();
    }
    gs().brush = p;
}

void Converter::set_pen(Paint p) {
    if (gs().pen == p)
        return;
    if (p.kind == Paint::None) {
        pclxl_set_pen_source_null();
    } else if (opts_.color) {
        set_space(kRgb);
        pclxl_addRGBColor(p.color.r << 16 | p.color.g << 8 | p.color.b);
        pclxl_set_pen_source();
    } else {
        set_space(kGray);
        pclxl_addGrayAttr(gray_of(p.color));
        pclxl_set_pen_source();
    }
    gs().pen = p;
}

void Converter::set_source_tx(int mode) {
    if (gs().source_tx != mode) {
        _pclxl_add_attribute(mode, kAttrTxMode, kTypeUByte);
        _pclxl_set_operator(kSetSourceTxMode);
        gs().source_tx = mode;
    }
}

void Converter::set_paint_tx(int mode) {
    if (gs().paint_tx != mode) {
        _pclxl_add_attribute(mode, kAttrTxMode, kTypeUByte);
        _pclxl_set_operator(kSetPaintTxMode);
        gs().paint_tx = mode;
    }
}

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

void Converter::push_clip(const Path &path, bool even_odd) {
    if (clip_depth_ >= kMaxClipDepth)
        throw PageError("clips nested more than " + std::to_string(kMaxClipDepth) + " deep");
    _pclxl_set_operator(kPushGS);
    stack_.push_back(gs());
    ++clip_depth_;
    const int mode = even_odd ? 1 : 0;
    if (gs().clip_mode != mode) {
        pclxl_set_clip_mode(mode);
        gs().clip_mode = mode;
    }
    if (emit_path(path, true)) {
        pclxl_set_clip_intersect(0);
    } else {
        // Nothing inside: an empty rectangle clips everything away.
        _point16 r[2] = {{0, 0}, {0, 0}};
        pclxl_add_rect16(r);
        pclxl_set_clip_intersect(0);
    }
}

void Converter::pop_clip() {
    if (clip_depth_ == 0)
        return;
    _pclxl_set_operator(kPopGS);
    stack_.pop_back();
    --clip_depth_;
}

PclFont &Converter::font_for(const GlyphRun &run) {
    FontKey key{run.font, {}};
    for (int i = 0; i < 4; ++i)
        key.m[i] = std::lround(run.m[i] * 64);
    auto it = fonts_.find(key);
    if (it == fonts_.end() || it->second.next_code > 0xFFFF) {
        PclFont f;
        f.index = stats_.fonts++;
        f.name = std::to_string(f.index);
        pclxl_set_font_header_for_bitmap(f.name.c_str(), 100,
                                         static_cast<uint16_t>(opts_.resolution),
                                         static_cast<uint16_t>(opts_.resolution));
        it = fonts_.insert_or_assign(key, std::move(f)).first;
    }
    return it->second;
}

int Converter::code_for(PclFont &font, const GlyphRun &run, int glyph) {
    auto it = font.codes.find(glyph);
    if (it != font.codes.end())
        return it->second;
    GlyphBitmap bm;
    if (!doc_.glyph_bitmap(run.font, glyph, run.m, bm))
        throw PageError("a glyph could not be rendered");
    int code = -1;
    if (bm.width > 0 && bm.height > 0 && bm.width <= 16384 && bm.height <= 16384 &&
        std::abs(bm.left) <= 16384 && std::abs(bm.top) <= 16384) {
        code = font.next_code++;
        // Offsets: left from the origin, top up from the baseline.
        pclxl_set_char_for_bitmap(font.name.c_str(), 100, static_cast<uint16_t>(code),
                                  bm.rows.data(), static_cast<int>(bm.rows.size()), -bm.top,
                                  bm.left, static_cast<uint16_t>(bm.width),
                                  static_cast<uint16_t>(bm.height));
        ++stats_.glyphs;
    }
    font.codes.emplace(glyph, code);
    return code;
}

bool Converter::fill_text(const GlyphRun &run) {
    const double em = std::max(std::hypot(run.m[0], run.m[1]), std::hypot(run.m[2], run.m[3]));
    if (!(em <= kMaxGlyphEm))
        return false;
    PclFont &font = font_for(run);
    struct Placed {
        uint16_t code;
        int x, y;
    };
    std::vector<Placed> glyphs;
    glyphs.reserve(run.glyphs.size());
    for (const PlacedGlyph &g : run.glyphs) {
        const int code = code_for(font, run, g.glyph);
        if (code < 0)
            continue;
        const int x = clamp_coordinate(g.x), y = clamp_coordinate(g.y);
        // Glyphs off the sheet are left out.
        if (x < area_.x0 - em || x > area_.x1 + em || y < area_.y0 - em || y > area_.y1 + em)
            continue;
        glyphs.push_back({static_cast<uint16_t>(code), x, y});
    }
    if (glyphs.empty())
        return true;
    set_rop(kRopPatternCopy);
    set_brush(color_paint(run.color));
    set_pen({Paint::None, {}});
    // Transparent modes, except that white text needs an opaque pattern
    // to show at all.
    set_source_tx(1);
    set_paint_tx(run.color == Rgb{255, 255, 255} ? 0 : 1);
    if (gs().font != font.index) {
        pclxl_set_font_for_bitmap(font.name.c_str(), 100, static_cast<float>(em));
        gs().font = font.index;
    }
    // Runs on one baseline with advances of 0..255 pixels.
    std::vector<uint16_t> codes;
    std::vector<uint8_t> spacing;
    size_t start = 0;
    for (size_t i = 1; i <= glyphs.size(); ++i) {
        if (i < glyphs.size()) {
            const int dx = glyphs[i].x - glyphs[i - 1].x;
            if (glyphs[i].y == glyphs[i - 1].y && dx >= 0 && dx <= 255 && i - start < 255)
                continue;
        }
        codes.clear();
        spacing.clear();
        for (size_t k = start; k < i; ++k) {
            codes.push_back(glyphs[k].code);
            spacing.push_back(k + 1 < i ? static_cast<uint8_t>(glyphs[k + 1].x - glyphs[k].x) : 0);
        }
        pclxl_set_cursorXY(glyphs[start].x, glyphs[start].y);
        pclxl_paint_text_for_bitmap(codes.data(), static_cast<uint16_t>(codes.size()),
                                    spacing.data(), static_cast<uint16_t>(spacing.size()), 0);
        start = i;
    }
    page_glyphs_ += static_cast<int>(glyphs.size());
    return true;
}

// ---------------------------------------------------------------------
// Images

bool axis_aligned(const Matrix &m) {
    const double scale = std::max({std::fabs(m.a), std::fabs(m.b), std::fabs(m.c), std::fabs(m.d)});
    return std::fabs(m.b) <= scale * 1e-4 && std::fabs(m.c) <= scale * 1e-4;
}

Rect bounds_of(const Matrix &m) {
    const Point p[4] = {m.apply(0, 0), m.apply(1, 0), m.apply(0, 1), m.apply(1, 1)};
    Rect r{p[0].x, p[0].y, p[0].x, p[0].y};
    for (const Point &q : p) {
        r.x0 = std::min(r.x0, q.x);
        r.y0 = std::min(r.y0, q.y);
        r.x1 = std::max(r.x1, q.x);
        r.y1 = std::max(r.y1, q.y);
    }
    return r;
}

// Samples `src` (placed by `m`) over the device rectangle `dst` into
// `out_w` x `out_h` pixels, averaging the source pixels under each output
// pixel (up to 4 x 4 samples). Pixels outside the image are white, or 0
// for masks.
Pixels resample(const Pixels &src, const Matrix &m, const Rect &dst, int out_w, int out_h,
                bool mask) {
    Pixels out;
    out.width = out_w;
    out.height = out_h;
    out.components = src.components;
    const int n = src.components;
    out.data.assign(size_t(out_w) * out_h * n, mask ? 0 : 255);
    const double det = m.a * m.d - m.b * m.c;
    if (std::fabs(det) < 1e-12 || src.width <= 0 || src.height <= 0)
        return out;
    // Device to unit square.
    const double ia = m.d / det, ib = -m.b / det, ic = -m.c / det, id = m.a / det;
    const double ie = -(ia * m.e + ic * m.f), iff = -(ib * m.e + id * m.f);
    const double px_w = (dst.x1 - dst.x0) / out_w, px_h = (dst.y1 - dst.y0) / out_h;
    // Source pixels per output pixel, for the number of samples.
    const double du = std::hypot(ia * px_w, ib * px_w) * src.width;
    const double dv = std::hypot(ic * px_h, id * px_h) * src.height;
    const int su = std::clamp(static_cast<int>(std::ceil(du)), 1, 4);
    const int sv = std::clamp(static_cast<int>(std::ceil(dv)), 1, 4);
    std::vector<int> sum(n);
    for (int y = 0; y < out_h; ++y) {
        for (int x = 0; x < out_w; ++x) {
            std::fill(sum.begin(), sum.end(), 0);
            int count = 0, outside = 0;
            for (int j = 0; j < sv; ++j) {
                for (int i = 0; i < su; ++i) {
                    const double dx = dst.x0 + (x + (i + 0.5) / su) * px_w;
                    const double dy = dst.y0 + (y + (j + 0.5) / sv) * px_h;
                    const double u = ia * dx + ic * dy + ie, v = ib * dx + id * dy + iff;
                    if (!(u >= 0 && u < 1 && v >= 0 && v < 1)) {
                        ++outside;
                        continue;
                    }
                    const int sx = std::min(static_cast<int>(u * src.width), src.width - 1);
                    const int sy = std::min(static_cast<int>(v * src.height), src.height - 1);
                    const uint8_t *p = &src.data[(size_t(sy) * src.width + sx) * n];
                    for (int k = 0; k < n; ++k)
                        sum[k] += p[k];
                    ++count;
                }
            }
            uint8_t *o = &out.data[(size_t(y) * out_w + x) * n];
            const int background = mask ? 0 : 255;
            for (int k = 0; k < n; ++k)
                o[k] = static_cast<uint8_t>(
                    (sum[k] + outside * background + (count + outside) / 2) / (count + outside));
        }
    }
    return out;
}

void Converter::write_image(const Pixels &px, int x, int y, int w, int h, bool mask,
                            Rgb mask_color) {
    const size_t pixels = size_t(px.width) * px.height;
    if (mask) {
        const int stride = (px.width + 7) / 8;
        std::vector<uint8_t> rows(size_t(stride) * px.height, 0);
        for (int r = 0; r < px.height; ++r)
            for (int c = 0; c < px.width; ++c)
                if (px.data[size_t(r) * px.width + c] >= 128)
                    rows[size_t(r) * stride + c / 8] |= uint8_t(0x80 >> (c % 8));
        set_rop(kRopSourceCopy);
        set_source_tx(1);
        const int space = opts_.color ? kRgb : kGray;
        pclxl_set_color_space_with_palette(space, 0xFFFFFF,
                                           mask_color.r << 16 | mask_color.g << 8 | mask_color.b);
        gs().space = 0; // a palette came with it
        gs().brush.kind = gs().brush.kind == Paint::Color ? Paint::Unknown : gs().brush.kind;
        gs().pen.kind = gs().pen.kind == Paint::Color ? Paint::Unknown : gs().pen.kind;
        pclxl_write_bitmap_data(1, rows.data(), px.width, px.height, stride, 1,
                                static_cast<int16_t>(x), static_cast<int16_t>(y),
                                static_cast<uint16_t>(w), static_cast<uint16_t>(h));
    } else {
        set_rop(kRopSourceCopy);
        set_source_tx(0);
        std::vector<uint8_t> rows;
        int bpp;
        if (!opts_.color || px.components == 1) {
            bpp = 8;
            set_space(kGray);
            if (px.components == 3) {
                rows.resize(pixels);
                for (size_t i = 0; i < pixels; ++i)
                    rows[i] = gray_of({px.data[3 * i], px.data[3 * i + 1], px.data[3 * i + 2]});
            }
        } else {
            bpp = 24;
            set_space(kRgb);
        }
        const unsigned char *data = bpp == 8 && px.components == 3 ? rows.data() : px.data.data();
        std::vector<uint8_t> jpeg;
        if (as_jpeg_ && encode_jpeg(data, px.width, px.height, bpp / 8, kJpegQuality, jpeg)) {
            send_jpeg(jpeg, bpp / 8, px.width, px.height, x, y, w, h);
            return;
        }
        pclxl_write_pixels(bpp == 8 ? PCLXL_PIXELS_GRAY8 : PCLXL_PIXELS_RGB24, data, px.width,
                           px.height, px.width * (bpp / 8), static_cast<int16_t>(x),
                           static_cast<int16_t>(y), static_cast<uint16_t>(w),
                           static_cast<uint16_t>(h));
    }
    ++page_images_;
    ++stats_.images;
}

// An image turned by a quarter, half or three quarters, or mirrored, is
// the same pixels read in another order: returns them upright and sets
// `upright` to their box, or returns false for any other matrix.
bool quarter_turn(const Pixels &src, const Matrix &m, Pixels &out, Matrix &upright) {
    const bool straight = axis_aligned(m);
    const bool swapped = !straight && axis_aligned({m.b, m.a, m.d, m.c, 0, 0});
    if (!straight && !swapped)
        return false;
    // Device x follows the image's columns (u) when straight, its rows (v)
    // when swapped; each way may run backwards.
    const double along_x = straight ? m.a : m.c, along_y = straight ? m.d : m.b;
    const Rect box = bounds_of(m);
    upright = {box.x1 - box.x0, 0, 0, box.y1 - box.y0, box.x0, box.y0};
    if ((straight && along_x > 0 && along_y > 0) || !(upright.a > 0 && upright.d > 0))
        return false;
    const int w = src.width, h = src.height, n = src.components;
    out.width = straight ? w : h;
    out.height = straight ? h : w;
    out.components = n;
    out.data.resize(src.data.size());
    for (int y = 0; y < out.height; ++y) {
        const int ry = along_y > 0 ? y : out.height - 1 - y;
        for (int x = 0; x < out.width; ++x) {
            const int rx = along_x > 0 ? x : out.width - 1 - x;
            const int u = straight ? rx : ry, v = straight ? ry : rx;
            std::memcpy(&out.data[(size_t(y) * out.width + x) * n],
                        &src.data[(size_t(v) * w + u) * n], size_t(n));
        }
    }
    return true;
}

// Places `pixels` as `placement` says: as they are when upright and no
// denser than the device, else resampled over the visible part of their
// box, clipped to their outline when turned or sheared. Quarter turns are
// reordered first and go as upright images.
void Converter::place_pixels(const Pixels &pixels, const Matrix &m, bool mask, Rgb mask_color) {
    if (pixels.width <= 0 || pixels.height <= 0)
        return;
    if (pixels.data.size() == size_t(pixels.width) * pixels.height * pixels.components) {
        Pixels turned;
        Matrix upright;
        if (quarter_turn(pixels, m, turned, upright)) {
            place_pixels(turned, upright, mask, mask_color);
            return;
        }
    }
    const Rect box = bounds_of(m);
    Rect vis{std::max(box.x0, area_.x0), std::max(box.y0, area_.y0), std::min(box.x1, area_.x1),
             std::min(box.y1, area_.y1)};
    vis = {std::floor(vis.x0), std::floor(vis.y0), std::ceil(vis.x1), std::ceil(vis.y1)};
    if (vis.empty())
        return;
    const bool upright = axis_aligned(m) && m.a > 0 && m.d > 0;
    const int dest_w = static_cast<int>(vis.x1 - vis.x0),
              dest_h = static_cast<int>(vis.y1 - vis.y0);
    const int max_w = mask ? kMaxRowBytes * 8 : kMaxRowBytes / (opts_.color ? 3 : 1);
    if (upright && box.x0 >= area_.x0 - 0.5 && box.y0 >= area_.y0 - 0.5 &&
        box.x1 <= area_.x1 + 0.5 && box.y1 <= area_.y1 + 0.5 && pixels.width <= m.a + 1 &&
        pixels.height <= m.d + 1 && pixels.width <= max_w && pixels.height <= 65535) {
        const int x = static_cast<int>(std::lround(box.x0)),
                  y = static_cast<int>(std::lround(box.y0));
        const int w = std::max(1, static_cast<int>(std::lround(box.x1)) - x);
        const int h = std::max(1, static_cast<int>(std::lround(box.y1)) - y);
        write_image(pixels, x, y, w, h, mask, mask_color);
        return;
    }
    // Output pixels: no denser than the device nor than the image itself.
    const double density = std::max(pixels.width / std::max(std::hypot(m.a, m.b), 1e-9),
                                    pixels.height / std::max(std::hypot(m.c, m.d), 1e-9));
    const bool turned = !axis_aligned(m);
    // Turned images need enough pixels for their slanted edges.
    const double scale = std::min(
        1.0, turned ? std::max(density, double(opts_.render_dpi) / opts_.resolution) : density);
    int out_w = std::max(1, static_cast<int>(std::ceil(dest_w * scale)));
    int out_h = std::max(1, static_cast<int>(std::ceil(dest_h * scale)));
    out_w = std::min(out_w, max_w);
    out_h = std::min(out_h, 65535);
    if (size_t(out_w) * out_h * pixels.components > kMaxImageBytes)
        throw PageError("an image is too large to place");
    const Pixels out = resample(pixels, m, vis, out_w, out_h, mask);
    if (turned) {
        Path outline;
        const Point c[4] = {m.apply(0, 0), m.apply(1, 0), m.apply(1, 1), m.apply(0, 1)};
        outline.segments.push_back({PathSegment::Move, {c[0]}});
        for (int i = 1; i < 4; ++i)
            outline.segments.push_back({PathSegment::Line, {c[i]}});
        outline.segments.push_back({PathSegment::Close, {}});
        push_clip(outline, false);
    }
    write_image(out, static_cast<int>(vis.x0), static_cast<int>(vis.y0), dest_w, dest_h, mask,
                mask_color);
    if (turned)
        pop_clip();
}

void Converter::send_jpeg(const std::vector<uint8_t> &jpeg, int components, int width, int height,
                          int x, int y, int w, int h) {
    set_rop(kRopSourceCopy);
    set_source_tx(0);
    set_space(components == 1 ? kGray : kRgb);
    pclxl_begin_image(PCLXL_COLOR_MAPPING_DIRECT, static_cast<short>(x), static_cast<short>(y),
                      static_cast<unsigned short>(w), static_cast<unsigned short>(h),
                      static_cast<unsigned short>(width), static_cast<unsigned short>(height));
    pclxl_read_image(0, static_cast<unsigned short>(height), PCLXL_COMPRESS_JPEG,
                     static_cast<unsigned int>(jpeg.size()));
    pclxl_write_embed_data(const_cast<uint8_t *>(jpeg.data()),
                           static_cast<unsigned int>(jpeg.size()));
    pclxl_end_image();
    ++page_images_;
    ++stats_.images;
}

void Converter::draw_image(Image &image) {
    const Matrix &m = image.placement;
    if (!image.jpeg.empty()) {
        const Rect box = bounds_of(m);
        const int comps = image.jpeg_components;
        const bool fits = axis_aligned(m) && m.a > 0 && m.d > 0 && box.x0 >= area_.x0 - 0.5 &&
                          box.y0 >= area_.y0 - 0.5 && box.x1 <= area_.x1 + 0.5 &&
                          box.y1 <= area_.y1 + 0.5 && image.jpeg_width <= m.a + 1 &&
                          image.jpeg_height <= m.d + 1 && (opts_.color || comps == 1) &&
                          image.jpeg.size() < 0xFFFFFFFFu;
        if (fits) {
            const int x = static_cast<int>(std::lround(box.x0)),
                      y = static_cast<int>(std::lround(box.y0));
            const int w = std::max(1, static_cast<int>(std::lround(box.x1)) - x);
            const int h = std::max(1, static_cast<int>(std::lround(box.y1)) - y);
            send_jpeg(image.jpeg, comps, image.jpeg_width, image.jpeg_height, x, y, w, h);
            return;
        }
        if (!doc_.decode(image))
            throw PageError("an image could not be decoded");
        as_jpeg_ = true;
    }
    place_pixels(image.pixels, m, false, {});
    as_jpeg_ = false;
}

void Converter::draw_image_mask(const Pixels &mask, const Matrix &placement, Rgb color) {
    place_pixels(mask, placement, true, color);
}

void Converter::fallback(const Rect &area) {
    const double scale = std::min(1.0, double(opts_.render_dpi) / opts_.resolution);
    Rect r{std::max(area.x0, area_.x0), std::max(area.y0, area_.y0), std::min(area.x1, area_.x1),
           std::min(area.y1, area_.y1)};
    // Whole pixels of the rendering, in device pixels.
    r = {std::floor(r.x0 * scale) / scale, std::floor(r.y0 * scale) / scale,
         std::ceil(r.x1 * scale) / scale, std::ceil(r.y1 * scale) / scale};
    if (r.empty())
        return;
    if (page_fallbacks_ >= kMaxFallbacks)
        throw PageError("too many regions to render");
    Pixels px;
    if (!doc_.render_region(r, scale, px))
        throw PageError("a region could not be rendered");
    ++page_fallbacks_;
    ++stats_.fallback_regions;
    place_pixels(px, {r.x1 - r.x0, 0, 0, r.y1 - r.y0, r.x0, r.y0}, false, {});
}

// ---------------------------------------------------------------------

struct Setup {
    const pclxl_media::Paper *paper = nullptr; // null: per page
    const char *duplex = "simplex";
    const char *media_type = "Plain";
    int media_source = 1;
    PageRanges ranges;
};

bool check_options(const JobOptions &o, Setup &s, std::string &error) {
    if (o.resolution != 300 && o.resolution != 600 && o.resolution != 1200) {
        error = "resolution must be 300, 600 or 1200, not " + std::to_string(o.resolution);
        return false;
    }
    if (o.render_dpi < 18 || o.render_dpi > 1200) {
        error = "render resolution must be 18 to 1200, not " + std::to_string(o.render_dpi);
        return false;
    }
    if (!o.paper.empty() && !(s.paper = find_paper(o.paper))) {
        error = "unknown paper '" + o.paper + "'";
        return false;
    }
    if (o.duplex == "simplex") {
        s.duplex = "simplex";
    } else if (o.duplex == "long-edge" || o.duplex == "duplex_long_edge") {
        s.duplex = "duplex_long_edge";
    } else if (o.duplex == "short-edge" || o.duplex == "duplex_short_edge") {
        s.duplex = "duplex_short_edge";
    } else {
        error = "unknown duplex mode '" + o.duplex + "'";
        return false;
    }
    const pclxl_media::MediaType *mt = pclxl_media::find_media_type(o.media_type.c_str());
    if (!mt) {
        error = "unknown media type '" + o.media_type + "'";
        return false;
    }
    s.media_type = mt->pclxl_name;
    const pclxl_media::Tray *tray = pclxl_media::find_tray(o.media_source.c_str());
    if (!tray) {
        error = "unknown tray '" + o.media_source + "'";
        return false;
    }
    s.media_source = tray->media_source;
    if (o.copies < 1 || o.copies > 65535) {
        error = "copies must be 1 to 65535";
        return false;
    }
    if (!parse_page_ranges(o.page_ranges, s.ranges)) {
        error = "bad page ranges '" + o.page_ranges + "'";
        return false;
    }
    return true;
}

void say(const JobOptions &o, const std::string &line) {
    if (o.message)
        o.message(line.c_str(), o.message_user);
}

// The engine's warnings: all of them with --verbose, else only the first
// (a damaged file repaired, a font replaced), so the user learns why a page
// may look different without a flood of lines.
struct Warnings {
    const JobOptions *options;
    int count = 0;
};

void forward_warning(const char *line, void *user) {
    Warnings *w = static_cast<Warnings *>(user);
    if (w->options->verbose || w->count++ == 0)
        say(*w->options, std::string("PDF warning: ") + line);
}

int convert(const unsigned char *data, size_t size, const JobOptions &options, JobStats *stats_out,
            std::string *error_out) {
    JobStats stats;
    std::string error;
    Setup setup;
    auto finish = [&](int rc) {
        if (stats_out)
            *stats_out = stats;
        if (error_out)
            *error_out = rc ? error : std::string();
        return rc;
    };
    if (!check_options(options, setup, error))
        return finish(1);
    Warnings warnings{&options}; // outlives the document, which may still warn
    std::unique_ptr<Document> doc;
    try {
        doc = open_document(data, size, EngineLimits(), forward_warning, &warnings, error);
    } catch (const std::exception &e) {
        error = std::string("cannot open the PDF: ") + e.what();
    }
    if (!doc)
        return finish(1);

    std::unique_ptr<Output> output;
    try {
        output = std::make_unique<Output>(options);
    } catch (const std::exception &) {
        error = "out of memory";
        return finish(1);
    }
    Output &out = *output;
    const pclxl_media::Paper *first_paper = setup.paper;

    bool header = false;
    int rc = 0;
    try {
        Converter conv(*doc, options, stats);
        const int count = doc->page_count();
        for (int index = 0; index < count; ++index) {
            if (options.cancel && *options.cancel)
                break; // cancelled: the job ends after the last whole page
            if (!setup.ranges.contains(index + 1))
                continue;
            double w = 0, h = 0;
            std::string page_error;
            if (!doc->page_size(index, w, h, page_error)) {
                error = "page " + std::to_string(index + 1) + ": " + page_error;
                rc = 1;
                break;
            }
            const pclxl_media::Paper *paper = setup.paper ? setup.paper : nearest_paper(w, h);
            if (!header) {
                if (!first_paper)
                    first_paper = paper;
                pclxl_job_settings job{};
                job.size = sizeof job;
                job.paper_name = first_paper->name;
                job.media_type = options.media_type.c_str();
                job.media_source = options.media_source.c_str();
                job.color_mode = options.color ? "color" : "gray";
                job.collate = options.collate;
                job.duplex_mode = setup.duplex;
                job.copies = options.copies;
                job.job_name = options.title.empty() ? nullptr : options.title.c_str();
                job.user_name = options.user.empty() ? nullptr : options.user.c_str();
                job.resolution = static_cast<uint16_t>(options.resolution);
                pclxl_start_job_with(&job);
                pclxl_begin_session(static_cast<uint16_t>(options.resolution),
                                    static_cast<uint16_t>(options.resolution));
                pclxl_open_datasource();
                header = true;
            }
            const size_t page_start = out.pending.size();
            const Placement place =
                place_page(w, h, *paper, options.resolution, options.fit_to_paper);
            pclxl_begin_page(0, 0, setup.duplex, paper->name,
                             paper->code_known_everywhere ? paper->media_size_code : -1,
                             setup.media_type, setup.media_source, 0, 0, 0.0f, 0.0f);
            if (place.rotated) {
                _pclxl_set_pageOrigin16(static_cast<unsigned short>(place.frame_origin_x), 0);
                _pclxl_set_pageRotation(270);
            }
            conv.begin_page();
            conv.set_page_area(place.sheet);
            // The raster route: the whole page as one image.
            auto raster_page = [&] {
                Pixels px;
                const double scale = std::min(1.0, double(options.render_dpi) / options.resolution);
                if (!doc->render_page(index, place.ctm, place.sheet, scale, px, page_error))
                    return false;
                conv.place_pixels(
                    px,
                    {place.sheet.x1 - place.sheet.x0, 0, 0, place.sheet.y1 - place.sheet.y0, 0, 0},
                    false, {});
                return true;
            };
            const size_t body_start = out.pending.size();
            const Converter::Snapshot before = conv.snapshot();
            bool ok = options.vector
                          ? doc->run_page(index, place.ctm, place.sheet, conv, page_error)
                          : raster_page();
            if (!ok && conv.too_many_regions()) {
                // A page made mostly of regions goes better as one image.
                out.pending.resize(body_start);
                conv.restore(before);
                conv.begin_page();
                ok = raster_page();
                ++stats.fallback_regions;
                if (ok && options.verbose)
                    say(options, "page " + std::to_string(index + 1) + ": more than " +
                                     std::to_string(kMaxFallbacks) + " regions, sent as one image");
            }
            if (!ok) {
                out.pending.resize(page_start);
                error = "page " + std::to_string(index + 1) + ": " + page_error;
                rc = 1;
                break;
            }
            pclxl_end_page(options.collate, static_cast<uint16_t>(options.copies));
            ++stats.pages;
            if (options.verbose)
                say(options, "page " + std::to_string(index + 1) + ": " + conv.page_summary());
            out.flush();
        }
    } catch (const std::exception &e) {
        error = e.what();
        rc = 1;
    }
    if (header && stats.pages > 0) {
        // Drop a page left open by a failure, then end the job cleanly.
        pclxl_close_datasource();
        pclxl_end_session();
        pclxl_end_job();
        out.flush();
    } else {
        out.pending.clear();
        if (rc == 0 && stats.pages == 0 && !(options.cancel && *options.cancel)) {
            const int count = doc->page_count();
            error = count == 0 ? "the PDF has no pages that can be read"
                               : "no pages selected (the PDF has " + std::to_string(count) +
                                     (count == 1 ? " page)" : " pages)");
            rc = 1;
        }
    }
    output.reset();
    if (options.verbose && rc == 0)
        say(options, std::to_string(stats.pages) + " pages, " + std::to_string(stats.fonts) +
                         " fonts, " + std::to_string(stats.glyphs) + " glyphs, " +
                         std::to_string(stats.images) + " images, " + std::to_string(stats.paths) +
                         " paths, " + std::to_string(stats.fallback_regions) + " fallback regions");
    return finish(rc);
}

} // namespace

int write_job_from_memory(const unsigned char *data, size_t size, const JobOptions &options,
                          JobStats *stats, std::string *error) {
    return convert(data, size, options, stats, error);
}

int write_job(const char *path, const JobOptions &options, JobStats *stats, std::string *error) {
    std::FILE *f = std::fopen(path, "rb");
    if (!f) {
        if (error)
            *error = std::string("cannot open '") + path + "': " + std::strerror(errno);
        if (stats)
            *stats = JobStats();
        return 1;
    }
    std::vector<unsigned char> data;
    unsigned char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    const bool bad = std::ferror(f);
    std::fclose(f);
    if (bad) {
        if (error)
            *error = std::string("cannot read '") + path + "'";
        if (stats)
            *stats = JobStats();
        return 1;
    }
    return convert(data.data(), data.size(), options, stats, error);
}

} // namespace pclxl::pdf
