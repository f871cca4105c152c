#include "text_pages.h"

#include "pclxl.h"

namespace pclxl_host {

const char kTextFamily[] = "DejaVu Sans Mono";

namespace {

// Splits one logical line into printed lines no wider than `width`,
// breaking after the last blank that fits, or inside a word too long for
// a line. The blank at a break is dropped.
void wrap(const std::u32string &line, int width, BitmapFont &font,
          std::vector<std::u32string> &out) {
    size_t start = 0;
    while (true) {
        while (start < line.size() && start > 0 && line[start] == U' ')
            ++start;
        if (start >= line.size()) {
            if (start == 0)
                out.emplace_back();
            return;
        }
        int64_t pen = 0;
        size_t end = start, last_blank = std::u32string::npos;
        for (; end < line.size(); ++end) {
            pen += font.font().glyph(line[end]).advance;
            if (((pen + 32) >> 6) > width && end > start)
                break;
            if (line[end] == U' ')
                last_blank = end;
        }
        if (end == line.size()) {
            out.push_back(line.substr(start));
            return;
        }
        if (line[end] != U' ' && last_blank != std::u32string::npos && last_blank > start)
            end = last_blank;
        out.push_back(line.substr(start, end - start));
        start = end;
    }
}

} // namespace

void lay_out_text(const std::u32string &text, int width, int lines_per_page, BitmapFont &font,
                  std::vector<TextPage> &pages) {
    TextPage page;
    std::u32string line;
    std::vector<std::u32string> wrapped;
    bool page_open = false;
    auto add_line = [&]() {
        wrapped.clear();
        wrap(line, width, font, wrapped);
        for (auto &l : wrapped) {
            if (static_cast<int>(page.size()) == lines_per_page) {
                pages.push_back(std::move(page));
                page.clear();
            }
            while (!l.empty() && l.back() == U' ')
                l.pop_back();
            page.push_back(std::move(l));
        }
        line.clear();
        page_open = true;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\n' || c == U'\r') {
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
                ++i;
            add_line();
        } else if (c == U'\f') {
            if (!line.empty())
                add_line();
            pages.push_back(std::move(page));
            page.clear();
            page_open = false;
        } else if (c == U'\t') {
            line.append(kTextTabWidth - line.size() % kTextTabWidth, U' ');
        } else if (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0)) {
            line.push_back(c);
            page_open = true;
        }
    }
    if (!line.empty())
        add_line();
    if (page_open || pages.empty())
        pages.push_back(std::move(page));
}

void paint_text_page(BitmapFont &font, const TextPage &page, int margin, int ascent,
                     int line_height) {
    std::u32string used;
    for (const auto &l : page)
        used += l;
    font.download(used);
    font.select();
    // Text is painted with the brush; the page starts with none.
    pclxl_set_rop3(PCLXL_ROP_PATTERN_COPY);
    pclxl_set_color_space(PCLXL_COLOR_SPACE_RGB);
    pclxl_addRGBColor(0x000000);
    pclxl_set_brush_source();
    int baseline = margin + ascent;
    for (const auto &l : page) {
        if (!l.empty())
            font.paint(margin, baseline, l);
        baseline += line_height;
    }
}

} // namespace pclxl_host
