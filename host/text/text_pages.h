// Plain UTF-8 text laid out in pages and painted in a downloaded bitmap
// font: what `pclxl text` and the printer application's text jobs print.
#ifndef PCLXL_HOST_TEXT_TEXT_PAGES_H
#define PCLXL_HOST_TEXT_TEXT_PAGES_H

#include <string>
#include <vector>

#include "glyphs.h"

namespace pclxl_host {

// The default font of text jobs and its size in points.
extern const char kTextFamily[];
constexpr double kTextPoints = 10.0;
// Tab stops are this many columns apart.
constexpr int kTextTabWidth = 8;

// The printed lines of one page.
using TextPage = std::vector<std::u32string>;

// Lays `text` out in pages of at most `lines_per_page` lines no wider than
// `width` pixels, appended to `pages` (so each text starts on a new page).
// Long lines wrap after the last blank that fits (inside a word too long for
// a line); CR LF and CR count as one line end; tabs become blanks up to the
// next stop; a form feed ends the page (one at the very end adds no empty
// page); other control characters are dropped. Nothing to print adds one
// empty page when `pages` is still empty.
void lay_out_text(const std::u32string &text, int width, int lines_per_page, BitmapFont &font,
                  std::vector<TextPage> &pages);

// Paints one page between pclxl_begin_page() and pclxl_end_page(): its
// glyphs are downloaded first, then each line in black with its top line's
// ascent below `margin` and `margin` from the left edge.
void paint_text_page(BitmapFont &font, const TextPage &page, int margin, int ascent,
                     int line_height);

} // namespace pclxl_host

#endif
