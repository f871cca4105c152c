// pclxl testpage: a two-page job that shows every capability of the
// library: raster images at each depth, vector shapes, clipping and text in
// downloaded bitmap fonts.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "glyphs.h"
#include "job_options.h"
#include "job_writer.h"
#include "pclxl.h"

namespace pclxl_tool {

using pclxl_host::BitmapFont;
using pclxl_host::decode_utf8;
using pclxl_host::GlyphFont;

namespace {

const char kCommand[] = "testpage";
const char kFamily[] = "DejaVu Sans";

// The layout is drawn on a canvas that fits the printable area of the
// smallest paper (A5) and is centred on larger ones.
constexpr int kCanvasWidth = 3200;
constexpr int kCanvasHeight = 4600;

// ROP3 values: vector shapes paint with the pen and brush colours only
// under pattern copy; images need source copy.
constexpr int kRopPatternCopy = 240;
constexpr int kRopSourceCopy = 204;
constexpr int kColorSpaceGray = 1;
constexpr int kColorSpaceRgb = 2;
constexpr int kClipInterior = 0;

void usage(FILE *out) {
    std::fprintf(out,
                 "usage: pclxl testpage [options]\n"
                 "Writes a two-page test job (testpage.pxl unless -o is given).\n\n%s",
                 kJobOptionsHelp);
}

// Canvas origin on the page and the fonts of the job.
// The canvas is laid out at 600 dpi and scaled to the job's resolution.
struct Canvas {
    int ox, oy;
    BitmapFont &title;
    BitmapFont &body;
    int dpi;

    int s(int at_600) const { return at_600 * dpi / 600; }
    int x(int cx) const { return ox + s(cx); }
    int y(int cy) const { return oy + s(cy); }
    _point16 size(int w, int h) const {
        return {static_cast<int16_t>(s(w)), static_cast<int16_t>(s(h))};
    }
    _point16 pt(int cx, int cy) const {
        _point16 p;
        pclxl_assign_points_with_check(&p, x(cx), y(cy));
        return p;
    }
};

void brush(int rgb) {
    pclxl_addRGBColor(rgb);
    pclxl_set_brush_source();
}

void pen(int rgb) {
    pclxl_addRGBColor(rgb);
    pclxl_set_pen_source();
}

void vector_mode() {
    pclxl_set_rop3(kRopPatternCopy);
    pclxl_set_color_space(kColorSpaceRgb);
}

void text(const Canvas &c, BitmapFont &font, int cx, int baseline, const std::string &utf8) {
    font.paint(c.x(cx), c.y(baseline), decode_utf8(utf8));
}

// Downloads the glyphs of every text of the page, then leaves the brush
// black for text.
void prepare_text(BitmapFont &font, const std::vector<std::string> &texts) {
    for (const std::string &t : texts)
        font.download(decode_utf8(t));
}

void text_mode(BitmapFont &font) {
    vector_mode();
    pclxl_set_pen_source_null();
    brush(0x000000);
    font.select();
}

// --- Images -------------------------------------------------------------

constexpr int kImageSize = 560; // printed size of each sample, page units
constexpr int kImageGap = 100;

// Sends a direct-colour sample of `bits` per pixel (8 gray; 24 or 32
// colour) at its place on the canvas, in the colour space it needs.
void send_direct_image(const Canvas &c, std::vector<uint8_t> &rows, int w, int h, int bits, int cx,
                       int cy) {
    pclxl_set_color_space(bits == 8 ? kColorSpaceGray : kColorSpaceRgb);
    pclxl_write_bitmap_data(0, rows.data(), w, h, w * (bits / 8), bits, c.x(cx), c.y(cy),
                            c.s(kImageSize), c.s(kImageSize));
}

// 1 bit: concentric rings and a checkerboard corner, two-colour palette.
void image_1bit(const Canvas &c, int cx, int cy, bool color) {
    const int w = 140, h = 140, stride = (w + 7) / 8;
    std::vector<uint8_t> rows(stride * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int dx = x - w / 2, dy = y - h / 2;
            const bool ring = (static_cast<int>(std::sqrt(dx * dx + dy * dy)) / 8) % 2;
            const bool check = ((x / 10) + (y / 10)) % 2;
            if (x < w / 3 && y < h / 3 ? check : ring)
                rows[y * stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    // A palette has exactly two entries for one bit.
    pclxl_set_color_space_with_palette(color ? kColorSpaceRgb : kColorSpaceGray, 0xFFFFF0,
                                       color ? 0x1040A0 : 0x000000);
    pclxl_write_bitmap_data(1, rows.data(), w, h, stride, 1, c.x(cx), c.y(cy), c.s(kImageSize),
                            c.s(kImageSize));
}

// 8 bits: a gray ramp from black to white, with steps in the lower half.
void image_8bit(const Canvas &c, int cx, int cy) {
    const int w = 256, h = 64;
    std::vector<uint8_t> rows(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rows[y * w + x] = static_cast<uint8_t>(y < h / 2 ? x : (x / 32) * 255 / 7);
    send_direct_image(c, rows, w, h, 8, cx, cy);
}

// 24 bits: colour bars (white, yellow, cyan, green, magenta, red, blue,
// black) over a strip of primaries.
void image_bars(const Canvas &c, int cx, int cy) {
    static const int kBars[] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00,
                                0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
    const int w = 160, h = 160;
    std::vector<uint8_t> rows(3 * w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int rgb = kBars[x / 20];
            if (y >= 120)
                rgb = (x / 20) % 2 ? 0x808080 : kBars[7 - x / 20];
            uint8_t *p = &rows[3 * (y * w + x)]; // B, G, R
            p[0] = rgb & 0xFF;
            p[1] = (rgb >> 8) & 0xFF;
            p[2] = (rgb >> 16) & 0xFF;
        }
    send_direct_image(c, rows, w, h, 24, cx, cy);
}

// 24 bits: a smooth "photo" of sky, sun and hills, rich in gradients.
void image_photo(const Canvas &c, int cx, int cy) {
    const int w = 280, h = 280;
    std::vector<uint8_t> rows(3 * w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double fx = x / double(w), fy = y / double(h);
            double r = 80 + 120 * fy, g = 140 + 80 * fy, b = 255 - 40 * fy; // sky
            const double sun = std::hypot(fx - 0.7, fy - 0.3);
            if (sun < 0.12) {
                r = 255, g = 230 - 200 * sun, b = 120;
            } else {
                const double glow = std::exp(-sun * 8);
                r += (255 - r) * glow, g += (220 - g) * glow, b += (150 - b) * glow;
            }
            const double hill = 0.65 + 0.08 * std::sin(fx * 9) + 0.04 * std::sin(fx * 23 + 1);
            if (fy > hill) {
                const double d = fy - hill;
                r = 40 + 60 * d, g = 120 - 80 * d + 20 * std::sin(fx * 60), b = 40;
            }
            uint8_t *p = &rows[3 * (y * w + x)];
            p[0] = static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, b))));
            p[1] = static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, g))));
            p[2] = static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, r))));
        }
    send_direct_image(c, rows, w, h, 24, cx, cy);
}

// 32 bits: a colour wheel, B, G, R and an unused fourth byte per pixel.
void image_32bit(const Canvas &c, int cx, int cy) {
    const int w = 200, h = 200;
    std::vector<uint8_t> rows(4 * w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = x - w / 2.0 + 0.5, dy = y - h / 2.0 + 0.5;
            const double radius = std::hypot(dx, dy) / (w / 2.0);
            const double hue = std::atan2(dy, dx) / (2 * M_PI) + 0.5; // 0..1
            double rgb[3];
            for (int k = 0; k < 3; ++k) {
                const double t = std::fabs(std::fmod(hue * 6 + 4 - 2 * k, 6.0) - 3) - 1;
                rgb[k] = std::fmin(1, std::fmax(0, t));
            }
            const double sat = std::fmin(1, radius);
            uint8_t *p = &rows[4 * (y * w + x)];
            for (int k = 0; k < 3; ++k) {
                const double v = radius > 1 ? 1 : 1 - sat + sat * rgb[2 - k];
                p[k] = static_cast<uint8_t>(std::lround(255 * v));
            }
            p[3] = 0xAA;
        }
    send_direct_image(c, rows, w, h, 32, cx, cy);
}

// --- Vector graphics -----------------------------------------------------

void shapes_row(const Canvas &c, int top) {
    vector_mode();
    // Overlapping rectangles, brush only.
    pclxl_set_pen_source_null();
    const int kRects[][3] = {{0, 0, 0xE02020}, {120, 120, 0x20A020}, {240, 240, 0x2040E0}};
    for (const auto &r : kRects) {
        brush(r[2]);
        _point16 box[2] = {c.pt(r[0], top + r[1]), c.pt(r[0] + 360, top + r[1] + 360)};
        pclxl_add_rect16(box);
        pclxl_paint_path();
    }

    // Rounded rectangle with a pen outline.
    pclxl_set_pen_width(c.s(12));
    pen(0x603000);
    brush(0xF0C040);
    _point16 round[3] = {c.pt(700, top), c.pt(1240, top + 600), c.size(120, 120)};
    pclxl_add_round_rect16(round);
    pclxl_paint_path();

    // A five-pointed star; non-zero winding fills its middle.
    pen(0x400060);
    brush(0xB060E0);
    pclxl_set_pen_width(c.s(6));
    _point16 star[5];
    for (int k = 0; k < 5; ++k) {
        const double a = -M_PI / 2 + k * 4 * M_PI / 5;
        star[k] = c.pt(1600 + static_cast<int>(300 * std::cos(a)),
                       top + 300 + static_cast<int>(300 * std::sin(a)));
    }
    pclxl_draw_path16(star, 5);

    // Arc (pen only) and a Bezier chain.
    pclxl_set_brush_source_null();
    pclxl_set_pen_width(c.s(24));
    pen(0x008080);
    _point16 arc[4] = {c.pt(2000, top), c.pt(2600, top + 600), c.pt(2600, top + 300),
                       c.pt(2300, top + 600)};
    pclxl_arc16(arc);
    pclxl_set_pen_width(c.s(10));
    pen(0xC00060);
    _point16 chain[7] = {c.pt(2650, top + 550), c.pt(2700, top),       c.pt(2850, top),
                         c.pt(2900, top + 300), c.pt(2950, top + 600), c.pt(3150, top + 600),
                         c.pt(3200, top + 50)};
    pclxl_draw_poly_bezier16(7, chain);
}

void line(const Canvas &c, int x1, int y1, int x2, int y2) {
    pclxl_new_path();
    pclxl_set_cursorXY(c.x(x1), c.y(y1));
    pclxl_end_path(static_cast<short>(c.x(x2)), static_cast<short>(c.y(y2)));
    pclxl_paint_path();
}

void lines_row(const Canvas &c, int top) {
    vector_mode();
    pclxl_set_brush_source_null();
    // Dashed lines of growing pattern.
    pen(0x000000);
    pclxl_set_pen_width(c.s(8));
    const short kDashes[3][4] = {{40, 20, 0, 0}, {80, 30, 10, 30}, {10, 10, 0, 0}};
    const unsigned short kCounts[3] = {2, 4, 2};
    for (int k = 0; k < 3; ++k) {
        short dash[4];
        for (int d = 0; d < 4; ++d)
            dash[d] = static_cast<short>(c.s(kDashes[k][d]));
        pclxl_set_line_dash(dash, kCounts[k]);
        line(c, 0, top + 40 + k * 100, 1000, top + 40 + k * 100);
    }
    pclxl_set_solid_line();
    // Wide lines: butt, round and square caps.
    pclxl_set_pen_width(c.s(60));
    const int kCapColors[3] = {0xD03030, 0x30A030, 0x3030D0};
    for (int cap = 0; cap < 3; ++cap) {
        pclxl_set_line_cap_style(cap);
        pen(kCapColors[cap]);
        line(c, 100, top + 400 + cap * 100, 900, top + 400 + cap * 100);
    }
    pclxl_set_line_cap_style(0);
    // Thin reference lines show where the caps end.
    pclxl_set_pen_width(c.s(2));
    pen(0x000000);
    line(c, 100, top + 340, 100, top + 660);
    line(c, 900, top + 340, 900, top + 660);

    // A clip region: stripes painted through a rounded-rectangle window.
    _point16 window[3] = {c.pt(1200, top), c.pt(2100, top + 700), c.size(300, 300)};
    pclxl_add_round_rect16(window);
    pclxl_set_clip_replace(kClipInterior);
    pclxl_set_pen_source_null();
    for (int k = 0; k < 12; ++k) {
        brush(k % 2 ? 0xFFFFFF : (k % 4 ? 0xF08000 : 0x0080F0));
        _point16 stripe[4] = {c.pt(1100 + k * 100, top - 50), c.pt(1200 + k * 100, top - 50),
                              c.pt(900 + k * 100, top + 750), c.pt(800 + k * 100, top + 750)};
        pclxl_draw_path16(stripe, 4);
    }
    pclxl_set_clip_to_page();
    // Its outline, drawn after the clip is gone.
    pclxl_set_brush_source_null();
    pen(0x000000);
    pclxl_set_pen_width(c.s(6));
    pclxl_add_round_rect16(window);
    pclxl_paint_path();

    // A frame around a gray-filled box in the last column.
    brush(0xC0C0C0);
    pclxl_set_pen_width(c.s(20));
    pen(0x202020);
    pclxl_set_line_join_style(1);
    _point16 box[2] = {c.pt(2300, top + 50), c.pt(3150, top + 650)};
    pclxl_add_rect16(box);
    pclxl_paint_path();
    pclxl_set_line_join_style(0);
}

std::string library_version() {
    size_t count = 0;
    const char *const *info = pclxl_library_info(&count);
    const char kKey[] = "LIBRARY_INFO_VERSION: ";
    for (size_t k = 0; info && k < count; ++k)
        if (!std::strncmp(info[k], kKey, sizeof kKey - 1))
            return info[k] + sizeof kKey - 1;
    return PCLXL_VERSION_STRING;
}

void page_one(JobWriter &job, const Canvas &c, const JobOptions &opts) {
    const std::string version = "Library version " + library_version();
    // The options line breaks after a comma when it is wider than the canvas.
    std::string options = "Job: " + opts.describe(), options2;
    size_t comma;
    while (c.body.measure(decode_utf8(options)) > c.s(kCanvasWidth) &&
           (comma = options.rfind(", ")) != std::string::npos) {
        options2 = options.substr(comma + 2) + (options2.empty() ? "" : ", ") + options2;
        options.erase(comma);
    }
    if (!options2.empty())
        options += ",";
    const char *const kImageLabels[] = {"1 bit indexed", "8 bit gray", "24 bit bars",
                                        "24 bit photo", "32 bit"};
    const std::string kSample = "The quick brown fox jumps over the lazy dog 0123456789";
    const std::string kAccents = "Bitmap glyphs: àéîõü ÆØÅ ß € ± µ «»";
    std::vector<std::string> body = {version, options, options2, "Raster images", "Vector graphics",
                                     "Text",  kSample, kAccents, "Page 1 of 2"};
    for (const char *l : kImageLabels)
        body.emplace_back(l);

    job.begin_page();
    prepare_text(c.title, {"libpclxl test page"});
    prepare_text(c.body, body);

    text_mode(c.title);
    text(c, c.title, 0, 160, "libpclxl test page");
    text_mode(c.body);
    text(c, c.body, 0, 300, version);
    text(c, c.body, 0, 400, options);
    if (!options2.empty())
        text(c, c.body, 0, 490, options2);

    text(c, c.body, 0, 600, "Raster images");
    for (int k = 0; k < 5; ++k)
        text(c, c.body, k * (kImageSize + kImageGap), 680 + kImageSize + 100, kImageLabels[k]);

    pclxl_set_rop3(kRopSourceCopy);
    image_1bit(c, 0 * (kImageSize + kImageGap), 680, opts.color);
    image_8bit(c, 1 * (kImageSize + kImageGap), 680);
    image_bars(c, 2 * (kImageSize + kImageGap), 680);
    image_photo(c, 3 * (kImageSize + kImageGap), 680);
    image_32bit(c, 4 * (kImageSize + kImageGap), 680);

    text_mode(c.body);
    text(c, c.body, 0, 1600, "Vector graphics");
    shapes_row(c, 1700);
    lines_row(c, 2500);

    text_mode(c.body);
    text(c, c.body, 0, 3500, "Text");
    text(c, c.body, 0, 3650, kSample);
    text(c, c.body, 0, 3780, kAccents);
    text(c, c.body, 0, kCanvasHeight - 40, "Page 1 of 2");
    job.end_page();
}

void page_two(JobWriter &job, const Canvas &c, const JobOptions &opts) {
    const std::string title = "Page 2: the back side";
    const std::string duplex =
        opts.sides == pclxl_host::Sides::OneSided
            ? "This job is one-sided (--duplex simplex): this page has a sheet of its own."
            : "This job is two-sided (--duplex " + std::string(pclxl_host::sides_word(opts.sides)) +
                  "): this page is on the back.";
    const std::string arrow = "The arrow points to the top of the page.";
    job.begin_page();
    prepare_text(c.title, {title});
    prepare_text(c.body, {duplex, arrow, "Page 2 of 2"});

    text_mode(c.title);
    text(c, c.title, 0, 160, title);
    text_mode(c.body);
    text(c, c.body, 0, 320, duplex);
    text(c, c.body, 0, 420, arrow);

    vector_mode();
    pen(0x000000);
    pclxl_set_pen_width(c.s(16));
    brush(0x80C0FF);
    const int mx = kCanvasWidth / 2;
    _point16 up[7] = {c.pt(mx, 700),        c.pt(mx + 600, 1500), c.pt(mx + 250, 1500),
                      c.pt(mx + 250, 3000), c.pt(mx - 250, 3000), c.pt(mx - 250, 1500),
                      c.pt(mx - 600, 1500)};
    pclxl_draw_path16(up, 7);

    pclxl_set_brush_source_null();
    pclxl_set_pen_width(c.s(8));
    _point16 frame[2] = {c.pt(0, 560), c.pt(kCanvasWidth, 3200)};
    pclxl_add_rect16(frame);
    pclxl_paint_path();

    pclxl_set_rop3(kRopSourceCopy);
    image_8bit(c, 0, 3400);
    image_bars(c, kCanvasWidth - kImageSize, 3400);

    text_mode(c.body);
    text(c, c.body, 0, kCanvasHeight - 40, "Page 2 of 2");
    job.end_page();
}

} // namespace

int cmd_testpage(int argc, char **argv) {
    JobOptions opts;
    for (int i = 1; i < argc;) {
        const char *arg = argv[i];
        switch (take_job_option(kCommand, argc, argv, i, opts)) {
        case OptionResult::Taken: continue;
        case OptionResult::Error: return 2;
        case OptionResult::NotMine: break;
        }
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            usage(stdout);
            return 0;
        }
        std::fprintf(stderr, "pclxl testpage: unknown argument '%s'\n", arg);
        usage(stderr);
        return 2;
    }
    if (opts.output.empty())
        opts.output = "testpage.pxl";

    GlyphFont title_glyphs, body_glyphs;
    std::string note, error;
    const bool found =
        title_glyphs.open(std::string(kFamily) + ":bold", 20, opts.resolution, note, error) &&
        body_glyphs.open(kFamily, 9, opts.resolution, note, error);
    if (!report_fonts(kCommand, found, note, error))
        return 1;
    // Two fonts of the session, each defined once.
    BitmapFont title(title_glyphs, "title", 100, opts.resolution);
    BitmapFont body(body_glyphs, "body", 101, opts.resolution);

    const Canvas canvas{(opts.area_width() - opts.units(kCanvasWidth)) / 2,
                        std::max(0, (opts.area_height() - opts.units(kCanvasHeight)) / 2), title,
                        body, opts.resolution};
    if (!opts.title_given)
        opts.title = "testpage";
    JobWriter job(kCommand, opts);
    if (!job.begin())
        return 1;
    page_one(job, canvas, opts);
    page_two(job, canvas, opts);
    return job.finish() ? 0 : 1;
}

} // namespace pclxl_tool
