// Text: each document font at each size and rotation becomes a downloaded
// bitmap font, and glyph runs are painted along their baselines.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "converter.h"

namespace pclxl::pdf {

namespace {

// Glyphs larger than this (pixels per em) are drawn from their outlines:
// bitmaps would grow with the square of the size.
constexpr double kMaxGlyphEm = 250;
// code_for(): the glyph is too large for a bitmap.
constexpr int kTooLarge = -2;

} // namespace

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
        throw ObjectError("a glyph could not be rendered");
    if (bm.too_large) {
        font.codes.emplace(glyph, kTooLarge);
        return kTooLarge;
    }
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
    if (survey_)
        return true;
    PclFont &font = font_for(run);
    struct Placed {
        uint16_t code;
        int x, y;
    };
    std::vector<Placed> glyphs;
    glyphs.reserve(run.glyphs.size());
    for (const PlacedGlyph &g : run.glyphs) {
        const int code = code_for(font, run, g.glyph);
        if (code == kTooLarge)
            return false; // nothing of the run is painted yet
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
    Rect box{1e300, 1e300, -1e300, -1e300};
    for (const Placed &g : glyphs)
        box = {std::min(box.x0, g.x - em), std::min(box.y0, g.y - em), std::max(box.x1, g.x + em),
               std::max(box.y1, g.y + em)};
    painted(box);
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

} // namespace pclxl::pdf
