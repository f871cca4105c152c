// Glyphs from a real font, rasterised with FreeType at the job's
// resolution, and their download to the printer as a bitmap font.
#ifndef PCLXL_HOST_TEXT_GLYPHS_H
#define PCLXL_HOST_TEXT_GLYPHS_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pclxl_host {

// One rasterised glyph, laid out as a bitmap character wants it.
struct Glyph {
    uint16_t code = 0; // character code in the downloaded font
    int width = 1;     // bitmap size in pixels, at least 1 x 1
    int height = 1;
    int left = 0;              // left edge, pixels right of the cursor
    int top = 0;               // top row, pixels above the baseline
    int32_t advance = 0;       // advance in 1/64 pixel
    std::vector<uint8_t> bits; // rows of ceil(width / 8) bytes, MSB first
    bool sent = false;         // downloaded to the printer already
};

// A scalable font found through fontconfig, at one size and resolution.
// Character codes are handed out on first use: printable ASCII keeps its
// own code, every other character gets the next code from 0x100 on.
class GlyphFont {
  public:
    GlyphFont();
    ~GlyphFont();
    GlyphFont(const GlyphFont &) = delete;
    GlyphFont &operator=(const GlyphFont &) = delete;

    // Finds `family` (the best match when it is not installed; `note`
    // then says which font stands in) and sets the size.
    bool open(const std::string &family, double points, int dpi, std::string &note,
              std::string &error);
    const std::string &family() const { return family_; }
    // Line spacing and ascent, in pixels.
    int line_height() const;
    int ascent() const;

    // The glyph for a Unicode code point, rasterised on first use. A
    // character the font lacks is drawn with U+FFFD (or '?') and shares
    // that glyph and code.
    Glyph &glyph(char32_t cp);
    // The glyphs handed out so far, by code.
    std::map<uint16_t, const Glyph *> by_code() const;

  private:
    Glyph rasterise(unsigned glyph_index);

    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string family_;
    std::map<char32_t, Glyph> glyphs_;
    std::map<char32_t, char32_t> aliases_; // missing character -> stand-in
    uint16_t next_code_ = 0x100;
};

// A GlyphFont downloaded as one bitmap font of the session. Its header
// goes out with the first glyphs; each glyph goes out once, before the
// first text that uses it.
class BitmapFont {
  public:
    BitmapFont(GlyphFont &font, std::string name, uint16_t number, int dpi)
        : font_(font), name_(std::move(name)), number_(number), dpi_(dpi) {}

    // Downloads the glyphs of `text` that the printer does not have yet.
    void download(const std::u32string &text);
    // Makes it the current font (needed on every page).
    void select();
    // Paints `text` with its baseline at (x, y); the glyphs must have been
    // downloaded. Advances go out as x-spacing. @return the width in pixels.
    int paint(int x, int y, const std::u32string &text);
    // Width of `text` in pixels.
    int measure(const std::u32string &text);
    GlyphFont &font() { return font_; }

  private:
    GlyphFont &font_;
    std::string name_;
    uint16_t number_;
    int dpi_;
    bool header_sent_ = false;
};

// Releases fontconfig's caches; call once no font will be opened again.
void release_font_lookup();

// Decodes UTF-8; every invalid or truncated sequence becomes U+FFFD.
std::u32string decode_utf8(const std::string &text);

} // namespace pclxl_host

#endif
