// The converter's pieces: the state it keeps of the printer, and the sink
// that turns a page's paths, clips, glyph runs, images and regions into
// library calls. Each job has a file of its own: graphics_state.cpp,
// paths.cpp, clips.cpp, text.cpp, images.cpp, fallback.cpp; job.cpp plays
// pages through it, and output.cpp holds the bytes until a page is whole.
#ifndef PCLXL_PDF_CONVERTER_H
#define PCLXL_PDF_CONVERTER_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "page_source.h"
#include "pclxl.h"
#include "pdf_job.h"

namespace pclxl::pdf {

constexpr int kRopSourceCopy = 204, kRopPatternCopy = 240;
constexpr int kGray = 1, kRgb = 2;
constexpr int kMaxCoordinate = 32700;

// A page that cannot be drawn; the job goes on without it.
struct PageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline uint8_t gray_of(Rgb c) {
    return static_cast<uint8_t>((c.r * 30 + c.g * 59 + c.b * 11 + 50) / 100);
}

inline int clamp_coordinate(double v) {
    if (!(v == v))
        return 0;
    return static_cast<int>(
        std::lround(std::clamp(v, -double(kMaxCoordinate), double(kMaxCoordinate))));
}

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
        clip_boxes_.clear();
        regions_.clear();
        surveyed_.clear();
        region_of_.clear();
        calls_ = 0;
        page_paths_ = page_images_ = page_glyphs_ = page_fallbacks_ = 0;
    }
    std::string page_summary() const {
        return std::to_string(page_paths_) + " paths, " + std::to_string(page_glyphs_) +
               " glyphs, " + std::to_string(page_images_) + " images, " +
               std::to_string(page_fallbacks_) + " fallback regions";
    }
    void set_page_area(const Rect &area) { area_ = area; }
    // Paths, glyphs, images and regions drawn on the page so far.
    int page_objects() const { return page_paths_ + page_glyphs_ + page_images_ + page_fallbacks_; }
    // The survey of a page's regions: while it lasts the converter writes
    // nothing and only collects regions; its end merges them.
    void begin_survey() {
        survey_ = true;
        surveyed_.clear();
    }
    void end_survey();
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
    bool surveying() const override { return survey_; }

    // Places pixels by their unit-square matrix (images, regions, and the
    // whole page on the raster route).
    void place_pixels(const Pixels &pixels, const Matrix &placement, bool mask, Rgb mask_color);

  private:
    struct Region {
        Rect area;
        std::vector<Rect> shown; // parts placed so far
        Rect dirty;              // vectors painted over them since
        bool dirty_any;
    };
    Rect region_rect(const Rect &area) const;
    void place_region(const Rect &r);
    // Vectors painted over `box`: the regions there no longer show on top.
    void painted(const Rect &box);

    GState &gs() { return stack_.back(); }
    void set_rop(int rop);
    void set_space(int space);
    void set_brush(Paint p);
    void set_pen(Paint p);
    void set_source_tx(int mode);
    void set_paint_tx(int mode);
    Paint color_paint(Rgb c) const { return {Paint::Color, c}; }
    bool emit_path(const Path &path, bool area, bool dashed);
    void emit_segments(const Path &path, bool area);
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
    std::vector<Rect> clip_boxes_; // bounds of each open clip, within the ones before
    bool survey_ = false;
    std::vector<Rect> surveyed_;    // each region as the survey met it
    std::vector<Region> regions_;   // merged
    std::vector<size_t> region_of_; // surveyed region -> merged one
    size_t calls_ = 0;
    std::map<FontKey, PclFont> fonts_;
    int page_paths_ = 0, page_images_ = 0, page_glyphs_ = 0, page_fallbacks_ = 0;
    bool as_jpeg_ = false; // the image being placed came as JPEG: send it as JPEG again
};

} // namespace pclxl::pdf

#endif
