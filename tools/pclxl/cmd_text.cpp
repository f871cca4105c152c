// pclxl text: prints plain UTF-8 text with downloaded bitmap fonts.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "file_io.h"
#include "glyphs.h"
#include "job_options.h"
#include "job_writer.h"
#include "pclxl.h"
#include "text_line.h"

namespace pclxl_tool {

using pclxl_host::one_line;

namespace {

const char kCommand[] = "text";
const char kDefaultFamily[] = "DejaVu Sans Mono";
constexpr double kDefaultPoints = 10.0;
constexpr int kMargin = kResolution / 2; // inside the printable area, at 600 dpi
constexpr int kTabWidth = 8;

void usage(FILE *out) {
    std::fprintf(out,
                 "usage: pclxl text [options] [--font-size PT] [--font FAMILY] FILE...|-\n"
                 "Prints plain UTF-8 text (- reads standard input). Long lines wrap, tabs\n"
                 "stop every %d columns and a form feed starts a new page. The default font\n"
                 "is %s at %g points.\n\n"
                 "%s",
                 kTabWidth, kDefaultFamily, kDefaultPoints, kJobOptionsHelp);
}

bool read_all(const std::string &path, std::string &out) {
    FILE *f = path == "-" ? stdin : open_file(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    const bool ok = !std::ferror(f);
    if (f != stdin)
        std::fclose(f);
    return ok;
}

using Page = std::vector<std::u32string>;

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

// Lays the text out in pages: CR LF and CR count as one line end, tabs
// become blanks up to the next tab stop, a form feed ends the page, and
// other control characters are dropped. A form feed at the very end does
// not add an empty page.
void lay_out(const std::u32string &text, int width, int lines_per_page, BitmapFont &font,
             std::vector<Page> &pages) {
    Page page;
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
            line.append(kTabWidth - line.size() % kTabWidth, U' ');
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

void print_page(JobWriter &job, BitmapFont &font, const Page &page, int margin, int ascent,
                int line_height) {
    job.begin_page();
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
    job.end_page();
}

} // namespace

int cmd_text(int argc, char **argv) {
    JobOptions opts;
    std::string family = kDefaultFamily;
    double points = kDefaultPoints;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc;) {
        const char *arg = argv[i];
        switch (take_job_option(kCommand, argc, argv, i, opts)) {
        case OptionResult::Taken: continue;
        case OptionResult::Error: return 2;
        case OptionResult::NotMine: break;
        }
        const bool has_value = i + 1 < argc;
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            usage(stdout);
            return 0;
        } else if (!std::strcmp(arg, "--font-size") || !std::strcmp(arg, "--font")) {
            if (!has_value) {
                std::fprintf(stderr, "pclxl text: %s needs a value\n", arg);
                return 2;
            }
            if (!std::strcmp(arg, "--font")) {
                family = argv[i + 1];
            } else {
                char *end = nullptr;
                points = std::strtod(argv[i + 1], &end);
                if (!*argv[i + 1] || *end || !(points >= 4 && points <= 72)) {
                    std::fprintf(stderr,
                                 "pclxl text: bad font size '%s'; valid choices: a number of "
                                 "points from 4 to 72\n",
                                 argv[i + 1]);
                    return 2;
                }
            }
            i += 2;
        } else if (!take_input(kCommand, arg, i, inputs, usage)) {
            return 2;
        }
    }
    if (!check_inputs_and_output(kCommand, inputs, "no input file (use - for standard input)", opts,
                                 usage))
        return 2;

    std::vector<std::u32string> texts;
    for (const std::string &path : inputs) {
        std::string bytes;
        if (!read_all(path, bytes)) {
            std::fprintf(stderr, "pclxl text: %s: %s\n", one_line(path).c_str(),
                         std::strerror(errno));
            return 1;
        }
        texts.push_back(decode_utf8(bytes));
    }

    GlyphFont glyphs;
    std::string note, error;
    const bool found = glyphs.open(family, points, opts.resolution, note, error);
    if (!report_fonts(kCommand, found, note, error))
        return 1;
    BitmapFont font(glyphs, "text", 100, opts.resolution);

    const int margin = opts.units(kMargin);
    const int width = opts.area_width() - 2 * margin;
    const int line_height = std::max(1, glyphs.line_height());
    const int lines_per_page = std::max(1, (opts.area_height() - 2 * margin) / line_height);
    // Each file starts on a new page.
    std::vector<Page> pages;
    for (const auto &text : texts)
        lay_out(text, width, lines_per_page, font, pages);

    opts.default_title(inputs.front());
    JobWriter job(kCommand, opts);
    if (!job.begin())
        return 1;
    for (const Page &page : pages)
        print_page(job, font, page, margin, glyphs.ascent(), line_height);
    return job.finish() ? 0 : 1;
}

} // namespace pclxl_tool
