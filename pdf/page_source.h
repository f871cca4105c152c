// The converter's view of a PDF: pages that play their content into a
// PageSink as paths, clips, glyph runs and images in device pixels, plus the
// few services the converter asks for on the way (glyph bitmaps, regions
// rendered to pixels). The PDF engine behind it is the only code that knows
// the PDF library; nothing here names it.
#ifndef PCLXL_PDF_PAGE_SOURCE_H
#define PCLXL_PDF_PAGE_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pclxl::pdf {

struct Point {
    double x = 0, y = 0;
};

struct Rect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return !(x1 > x0 && y1 > y0); }
};

// Affine transform: x' = a x + c y + e, y' = b x + d y + f.
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    Point apply(double x, double y) const { return {a * x + c * y + e, b * x + d * y + f}; }
};

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

struct PathSegment {
    enum Kind : uint8_t { Move, Line, Curve, Close };
    Kind kind;
    Point p[3]; // Move and Line: p[0]; Curve: two control points, then the end
};

struct Path {
    std::vector<PathSegment> segments;
};

enum class Cap { Butt, Round, Square, Triangle };
enum class Join { Miter, Round, Bevel };

// In device pixels.
struct StrokeStyle {
    double width = 1;
    Cap cap = Cap::Butt;
    Join join = Join::Miter;
    double miter_limit = 10;
    std::vector<double> dashes;
    double dash_phase = 0;
};

struct PlacedGlyph {
    int glyph = 0;
    double x = 0, y = 0; // origin in device pixels
};

// Glyphs of one font at one size and rotation: `m` is the glyph space to
// device transform without translation (a, b, c, d).
struct GlyphRun {
    int font = 0;
    double m[4] = {1, 0, 0, 1};
    Rgb color;
    std::vector<PlacedGlyph> glyphs;
};

// A glyph as two-level pixels: rows of ceil(width / 8) bytes, first pixel
// in the high bit, 1 painted. (left, top) is the top-left pixel relative to
// the origin, y growing downward.
struct GlyphBitmap {
    int width = 0, height = 0;
    int left = 0, top = 0;
    std::vector<uint8_t> rows;
    // Larger on the device than kMaxGlyphPixels either way: not rendered,
    // the run is better drawn from outlines or as a region.
    bool too_large = false;
};

// The largest glyph, in device pixels either way, rendered to a bitmap. It
// is the glyph's own size that counts: a font's size says little when its
// glyph space is unusual (a Type3 font with an identity FontMatrix).
constexpr double kMaxGlyphPixels = 1000;

// Decoded pixels: 1 (gray) or 3 (RGB) samples per pixel, rows packed. A
// mask has 1 sample, 255 painted. `placement` maps the unit square (0,0
// top-left of the first row) to device pixels.
struct Pixels {
    int width = 0, height = 0, components = 1;
    std::vector<uint8_t> data;
};

struct Image {
    Pixels pixels;
    Matrix placement;
    // The original JPEG stream when it can stand for the pixels as they
    // are (baseline, gray or RGB, no decode array or colour key); the
    // pixels are then left empty until decode() is asked for.
    std::vector<uint8_t> jpeg;
    int jpeg_components = 0;
    int jpeg_width = 0, jpeg_height = 0;
    // The engine's own image while the page plays, for decode().
    const void *handle = nullptr;
};

// Thrown by a sink for one object it cannot draw, before it wrote anything
// of it: the engine leaves the object out, notes it, and goes on.
struct ObjectError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Clips a sink keeps nested (printers keep a few hundred graphics states);
// the engine renders what deeper clips hold as a fallback region.
constexpr int kMaxClipDepth = 200;

// Receives a page's content in painting order.
class PageSink {
  public:
    virtual ~PageSink() = default;
    virtual void fill_path(const Path &path, bool even_odd, Rgb color) = 0;
    virtual void stroke_path(const Path &path, const StrokeStyle &style, Rgb color) = 0;
    // Intersects the clip with a path until the matching pop_clip().
    virtual void push_clip(const Path &path, bool even_odd) = 0;
    virtual void pop_clip() = 0;
    // False: the run is better drawn as a fallback region (huge glyphs).
    virtual bool fill_text(const GlyphRun &run) = 0;
    virtual void draw_image(Image &image) = 0;
    virtual void draw_image_mask(const Pixels &mask, const Matrix &placement, Rgb color) = 0;
    // True while the sink only surveys the page for regions: images need
    // not be decoded for it.
    virtual bool surveying() const { return false; }
    // Something the printer language cannot express covers `area` (device
    // pixels, already within the clip): the sink places the rendered
    // region there. Its content is not played to the sink.
    virtual void fallback(const Rect &area) = 0;
};

// A document open in the engine.
class Document {
  public:
    virtual ~Document() = default;
    virtual int page_count() = 0;
    // The page's size in points, after its own rotation. False (with a
    // message) when the page cannot be loaded.
    virtual bool page_size(int index, double &width, double &height, std::string &error) = 0;
    // Plays page `index` through `ctm` (points to device pixels) into the
    // sink. False with a message when the page fails part way.
    virtual bool run_page(int index, const Matrix &ctm, const Rect &device_area, PageSink &sink,
                          std::string &error) = 0;
    // Renders the whole page through `ctm`, at `scale` pixels per device
    // pixel, to RGB pixels covering `device_area`.
    virtual bool render_page(int index, const Matrix &ctm, const Rect &device_area, double scale,
                             Pixels &out, std::string &error) = 0;
    // While a page is playing: the page's content in `area` (device
    // pixels) as RGB pixels at `scale` pixels per device pixel.
    virtual bool render_region(const Rect &area, double scale, Pixels &out) = 0;
    // While a page is playing: a glyph of a run's font, rendered through
    // the run's matrix.
    virtual bool glyph_bitmap(int font, int glyph, const double m[4], GlyphBitmap &out) = 0;
    // Decodes an image that came with only its JPEG stream.
    virtual bool decode(Image &image) = 0;
    // What was left out of the page loaded last (objects that could not
    // be read or drawn), one line each; the list is emptied.
    virtual std::vector<std::string> take_notes() { return {}; }
    // True once the engine had to repair the document (a broken or missing
    // cross-reference table, a file cut short).
    virtual bool repaired() { return false; }
};

struct EngineLimits {
    size_t memory_bytes = size_t(1) << 30; // the engine's heap
};

// Opens a PDF from memory (the data must outlive the document). Null with
// a message when it cannot be opened.
std::unique_ptr<Document> open_document(const unsigned char *data, size_t size,
                                        const EngineLimits &limits,
                                        void (*warn)(const char *line, void *user), void *user,
                                        std::string &error);

} // namespace pclxl::pdf

#endif
