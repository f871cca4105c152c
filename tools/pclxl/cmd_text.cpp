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
#include "job_options.h"
#include "job_writer.h"
#include "pclxl.h"
#include "text_line.h"
#include "text_pages.h"

namespace pclxl_tool {

using pclxl_host::BitmapFont;
using pclxl_host::GlyphFont;
using pclxl_host::one_line;
using pclxl_host::TextPage;

namespace {

const char kCommand[] = "text";
const char *const kDefaultFamily = pclxl_host::kTextFamily;
constexpr double kDefaultPoints = pclxl_host::kTextPoints;
constexpr int kMargin = kResolution / 2; // inside the printable area, at 600 dpi
constexpr int kTabWidth = pclxl_host::kTextTabWidth;

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
        texts.push_back(pclxl_host::decode_utf8(bytes));
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
    std::vector<TextPage> pages;
    for (const auto &text : texts)
        pclxl_host::lay_out_text(text, width, lines_per_page, font, pages);

    opts.default_title(inputs.front());
    JobWriter job(kCommand, opts);
    if (!job.begin())
        return 1;
    for (const TextPage &page : pages) {
        job.begin_page();
        pclxl_host::paint_text_page(font, page, margin, glyphs.ascent(), line_height);
        job.end_page();
    }
    return job.finish() ? 0 : 1;
}

} // namespace pclxl_tool
