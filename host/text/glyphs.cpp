#include "glyphs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <strings.h>

#include "pclxl.h"

namespace pclxl_host {

struct GlyphFont::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

GlyphFont::GlyphFont() : impl_(new Impl) {}

GlyphFont::~GlyphFont() {
    if (impl_->face)
        FT_Done_Face(impl_->face);
    if (impl_->library)
        FT_Done_FreeType(impl_->library);
}

bool GlyphFont::open(const std::string &family, double points, int dpi, std::string &note,
                     std::string &error) {
    // Ask fontconfig for a scalable font of the family; it always answers
    // with its best match, so compare the family it found.
    FcPattern *pattern = FcNameParse(reinterpret_cast<const FcChar8 *>(family.c_str()));
    if (!pattern) {
        error = "bad font name '" + family + "'";
        return false;
    }
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8 *file = nullptr;
    FcChar8 *found_family = nullptr;
    int index = 0;
    if (!match || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) {
        if (match)
            FcPatternDestroy(match);
        error = "no font found for '" + family + "'";
        return false;
    }
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetString(match, FC_FAMILY, 0, &found_family);
    family_ = found_family ? reinterpret_cast<const char *>(found_family) : family;
    const std::string path = reinterpret_cast<const char *>(file);
    FcPatternDestroy(match);
    const std::string wanted = family.substr(0, family.find(':')); // "Family:style"
    if (strcasecmp(family_.c_str(), wanted.c_str()) != 0)
        note = "font '" + wanted + "' not found, using '" + family_ + "'";

    if (FT_Init_FreeType(&impl_->library) != 0) {
        error = "cannot start FreeType";
        return false;
    }
    if (FT_New_Face(impl_->library, path.c_str(), index, &impl_->face) != 0) {
        error = "cannot read font file '" + path + "'";
        return false;
    }
    if (FT_Set_Char_Size(impl_->face, 0, static_cast<FT_F26Dot6>(std::lround(points * 64)), dpi,
                         dpi) != 0) {
        error = "cannot scale font '" + family_ + "'";
        return false;
    }
    return true;
}

int GlyphFont::line_height() const {
    return static_cast<int>((impl_->face->size->metrics.height + 32) >> 6);
}

int GlyphFont::ascent() const {
    return static_cast<int>((impl_->face->size->metrics.ascender + 32) >> 6);
}

Glyph GlyphFont::rasterise(unsigned glyph_index) {
    Glyph g;
    FT_Face face = impl_->face;
    // Monochrome rendering: a bitmap character is 1 bit per pixel.
    if (FT_Load_Glyph(face, glyph_index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
        return g; // a blank 1 x 1 cell
    const FT_Bitmap &bm = face->glyph->bitmap;
    g.advance = static_cast<int32_t>(face->glyph->advance.x);
    if (bm.width == 0 || bm.rows == 0 || bm.pixel_mode != FT_PIXEL_MODE_MONO) {
        g.bits.assign(1, 0);
        return g;
    }
    g.width = static_cast<int>(bm.width);
    g.height = static_cast<int>(bm.rows);
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    // FreeType may pad its rows; a character's rows are exactly
    // ceil(width / 8) bytes.
    const size_t row_bytes = (bm.width + 7) / 8;
    g.bits.resize(row_bytes * bm.rows);
    for (unsigned y = 0; y < bm.rows; ++y)
        std::memcpy(&g.bits[y * row_bytes], bm.buffer + static_cast<long>(y) * bm.pitch, row_bytes);
    return g;
}

Glyph &GlyphFont::glyph(char32_t cp) {
    auto alias = aliases_.find(cp);
    if (alias != aliases_.end())
        cp = alias->second;
    auto it = glyphs_.find(cp);
    if (it != glyphs_.end())
        return it->second;

    unsigned index = FT_Get_Char_Index(impl_->face, cp);
    if (index == 0 && cp != U'?') {
        const char32_t stand_in =
            (cp != 0xFFFD && FT_Get_Char_Index(impl_->face, 0xFFFD)) ? 0xFFFD : U'?';
        aliases_[cp] = stand_in;
        return glyph(stand_in);
    }
    Glyph g = rasterise(index);
    g.code = (cp >= 0x20 && cp < 0x7F) ? static_cast<uint16_t>(cp) : next_code_++;
    return glyphs_.emplace(cp, std::move(g)).first->second;
}

std::map<uint16_t, const Glyph *> GlyphFont::by_code() const {
    std::map<uint16_t, const Glyph *> out;
    for (const auto &kv : glyphs_)
        out[kv.second.code] = &kv.second;
    return out;
}

void BitmapFont::download(const std::u32string &text) {
    for (char32_t cp : text) {
        Glyph &g = font_.glyph(cp);
        if (g.sent)
            continue;
        if (!header_sent_) {
            // The font's resolution is the session's, so glyphs print 1:1.
            pclxl_set_font_header_for_bitmap(name_.c_str(), number_, static_cast<uint16_t>(dpi_),
                                             static_cast<uint16_t>(dpi_));
            header_sent_ = true;
        }
        pclxl_set_char_for_bitmap(name_.c_str(), number_, g.code, g.bits.data(),
                                  static_cast<int>(g.bits.size()), g.top, g.left,
                                  static_cast<uint16_t>(g.width), static_cast<uint16_t>(g.height));
        g.sent = true;
    }
}

void BitmapFont::select() {
    // CharSize does not scale a bitmap font; the size is only nominal.
    pclxl_set_font_for_bitmap(name_.c_str(), number_, 12.0f);
}

int BitmapFont::measure(const std::u32string &text) {
    int64_t pen = 0;
    for (char32_t cp : text)
        pen += font_.glyph(cp).advance;
    return static_cast<int>((pen + 32) >> 6);
}

int BitmapFont::paint(int x, int y, const std::u32string &text) {
    // Bitmap characters have no advance of their own: every run carries
    // one x-spacing byte per character. The pen position keeps FreeType's
    // fractions so rounding errors do not add up along a line. A run ends
    // after 255 characters (the spacing count is one byte) or at an
    // advance above 255 pixels, and the next run starts with a cursor move.
    std::vector<uint16_t> codes;
    std::vector<uint8_t> spacing;
    int64_t pen = 0; // 1/64 pixel from x
    size_t i = 0;
    while (i < text.size()) {
        const int run_x = x + static_cast<int>((pen + 32) >> 6);
        codes.clear();
        spacing.clear();
        while (i < text.size() && codes.size() < 255) {
            const Glyph &g = font_.glyph(text[i]);
            const int before = static_cast<int>((pen + 32) >> 6);
            pen += g.advance;
            const int step = static_cast<int>((pen + 32) >> 6) - before;
            codes.push_back(g.code);
            ++i;
            if (step < 0 || step > 255) {
                spacing.push_back(0);
                break;
            }
            spacing.push_back(static_cast<uint8_t>(step));
        }
        pclxl_set_cursorXY(run_x, y);
        pclxl_paint_text_for_bitmap(codes.data(), static_cast<uint16_t>(codes.size()),
                                    spacing.data(), static_cast<uint16_t>(spacing.size()), 0);
    }
    return static_cast<int>((pen + 32) >> 6);
}

void release_font_lookup() { FcFini(); }

std::u32string decode_utf8(const std::string &text) {
    std::u32string out;
    out.reserve(text.size());
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte, which rules out
        // overlong forms, surrogates and values above U+10FFFF.
        int len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        char32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0F;
            lo = b == 0xE0 ? 0xA0 : 0x80;
            hi = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07;
            lo = b == 0xF0 ? 0x90 : 0x80;
            hi = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        // A broken sequence becomes one U+FFFD for its valid beginning;
        // decoding resumes at the first byte that does not fit.
        size_t j = i + 1;
        bool ok = true;
        for (int k = 1; k < len; ++k, ++j) {
            const unsigned char c = j < n ? s[j] : 0;
            if (j >= n || c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        out.push_back(ok ? cp : 0xFFFD);
        i = j;
    }
    return out;
}

} // namespace pclxl_host
