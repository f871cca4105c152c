// Images: placed by their matrix, as they are when they fit the device
// grid, else resampled; JPEG data goes through unchanged where it can.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "converter.h"
#include "jpeg_encode.h"

namespace pclxl::pdf {

namespace {

// Images that came as JPEG and had to be resampled go as JPEG again.
constexpr int kJpegQuality = 85;
// Rows the library can send: at most 32767 bytes.
constexpr int kMaxRowBytes = 32767;
// The largest decoded image the converter holds at once.
constexpr size_t kMaxImageBytes = size_t(256) << 20;

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

} // namespace

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
        throw ObjectError("an image is too large to place");
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
    if (survey_)
        return;
    painted(bounds_of(m));
    if (!image.jpeg.empty()) {
        const Rect box = bounds_of(m);
        const int comps = image.jpeg_components;
        const bool fits = opts_.jpeg && axis_aligned(m) && m.a > 0 && m.d > 0 &&
                          box.x0 >= area_.x0 - 0.5 && box.y0 >= area_.y0 - 0.5 &&
                          box.x1 <= area_.x1 + 0.5 && box.y1 <= area_.y1 + 0.5 &&
                          image.jpeg_width <= m.a + 1 && image.jpeg_height <= m.d + 1 &&
                          (opts_.color || comps == 1) && image.jpeg.size() < 0xFFFFFFFFu;
        if (fits) {
            const int x = static_cast<int>(std::lround(box.x0)),
                      y = static_cast<int>(std::lround(box.y0));
            const int w = std::max(1, static_cast<int>(std::lround(box.x1)) - x);
            const int h = std::max(1, static_cast<int>(std::lround(box.y1)) - y);
            send_jpeg(image.jpeg, comps, image.jpeg_width, image.jpeg_height, x, y, w, h);
            return;
        }
        if (!doc_.decode(image))
            throw ObjectError("an image could not be decoded");
        as_jpeg_ = opts_.jpeg;
    }
    place_pixels(image.pixels, m, false, {});
    as_jpeg_ = false;
}

void Converter::draw_image_mask(const Pixels &mask, const Matrix &placement, Rgb color) {
    if (survey_)
        return;
    painted(bounds_of(placement));
    place_pixels(mask, placement, true, color);
}

} // namespace pclxl::pdf
