// pclxl convert: prints PNG and PNM images, one page each.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "convert_pdf.h"
#include "image_io.h"
#include "job_options.h"
#include "job_writer.h"
#include "pclxl.h"
#include "text_line.h"

namespace pclxl_tool {

using pclxl_host::one_line;

namespace {

const char kCommand[] = "convert";

void usage(FILE *out) {
    std::fprintf(out,
                 "usage: pclxl convert [options] [--fit | --ppi N] IMAGE... -o FILE\n"
                 "Prints each PNG or PNM image on a page of its own, centred on the printable\n"
                 "area: scaled to fit (--fit, the default) or at N pixels per inch (--ppi N).\n"
                 "IMAGE - reads standard input.\n\n"
                 "%s%s",
                 kJobOptionsHelp, kPdfOptionsHelp);
}

// The largest printed size, in page units: coordinates are 16-bit.
constexpr long kMaxDest = 32000;

struct Placement {
    int x, y, width, height;
};

// Centred on the printable area, scaled to fit keeping the aspect ratio,
// or at `ppi` pixels per inch when it is not 0.
bool place(const Image &img, const JobOptions &opts, long ppi, Placement &p) {
    const double area_w = opts.area_width(), area_h = opts.area_height();
    double w, h;
    if (ppi > 0) {
        w = std::round(img.width * static_cast<double>(opts.resolution) / ppi);
        h = std::round(img.height * static_cast<double>(opts.resolution) / ppi);
    } else {
        const double scale = std::min(area_w / img.width, area_h / img.height);
        w = std::floor(img.width * scale + 0.5);
        h = std::floor(img.height * scale + 0.5);
    }
    w = std::max(w, 1.0);
    h = std::max(h, 1.0);
    if (w > kMaxDest || h > kMaxDest)
        return false;
    p.width = static_cast<int>(w);
    p.height = static_cast<int>(h);
    p.x = static_cast<int>(std::floor((area_w - w) / 2));
    p.y = static_cast<int>(std::floor((area_h - h) / 2));
    return true;
}

// Rows as the library takes them: 1-bit rows packed MSB first with white
// as 1, 8-bit gray rows, or the image's R,G,B rows as they are. Colour
// becomes gray in a grayscale job. The image's pixels are taken over, not
// copied.
struct Raster {
    int format; // PCLXL_PIXELS_...
    int stride;
    std::vector<uint8_t> data;
};

Raster to_raster(Image &img, bool color) {
    Raster r{};
    const size_t w = img.width, h = img.height;
    if (img.kind == Image::Bilevel) {
        r.format = PCLXL_PIXELS_BITS1;
        r.stride = static_cast<int>((w + 7) / 8);
        r.data.assign(r.stride * h, 0);
        for (size_t y = 0; y < h; ++y)
            for (size_t x = 0; x < w; ++x)
                if (img.pixels[y * w + x])
                    r.data[y * r.stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        img.pixels = {};
        return r;
    }
    if (img.kind == Image::Rgb && !color) {
        // In place: gray sample i is written after RGB sample i is read.
        for (size_t i = 0; i < w * h; ++i) {
            const uint8_t *p = &img.pixels[3 * i];
            img.pixels[i] = static_cast<uint8_t>((p[0] * 30 + p[1] * 59 + p[2] * 11 + 50) / 100);
        }
        img.pixels.resize(w * h);
        img.pixels.shrink_to_fit();
        img.kind = Image::Gray;
    }
    r.format = img.kind == Image::Gray ? PCLXL_PIXELS_GRAY8 : PCLXL_PIXELS_RGB24;
    r.stride = static_cast<int>(w * img.channels());
    r.data = std::move(img.pixels);
    return r;
}

// The library sends a row of at most 32767 bytes.
bool fits_row_limit(const Raster &r) { return r.stride <= 32767; }

bool print_image(int width, int height, const Raster &raster, const Placement &p) {
    if (raster.format == PCLXL_PIXELS_BITS1)
        pclxl_set_color_space_with_palette(PCLXL_COLOR_SPACE_GRAY, 0x000000, 0xFFFFFF);
    else
        pclxl_set_color_space(raster.format == PCLXL_PIXELS_GRAY8 ? PCLXL_COLOR_SPACE_GRAY
                                                                  : PCLXL_COLOR_SPACE_RGB);
    return pclxl_write_pixels(raster.format, raster.data.data(), width, height, raster.stride,
                              static_cast<int16_t>(p.x), static_cast<int16_t>(p.y),
                              static_cast<uint16_t>(p.width), static_cast<uint16_t>(p.height)) == 1;
}

// One input: its bytes are read (standard input for "-"), told apart by
// their content, and printed. Images take one page each. Returns false
// with the reason in `error` when nothing of it could be printed.
bool print_input(JobWriter &job, const std::string &path, const JobOptions &opts, long ppi,
                 std::string &error) {
    std::vector<uint8_t> data;
    if (!read_input(path, data, error))
        return false;
    // The input is told apart by its first bytes: a document of several
    // pages would branch off here; what is left must be an image.
    Image img;
    Raster raster;
    Placement p{};
    try {
        if (!decode_image(data, img, error))
            return false;
        data = {};
        raster = to_raster(img, opts.color);
    } catch (const std::bad_alloc &) {
        error = "not enough memory for an image of " + std::to_string(img.width) + "x" +
                std::to_string(img.height) + " pixels";
        return false;
    }
    if (!fits_row_limit(raster)) {
        error = "image is too wide to print (" + std::to_string(img.width) + " pixels)";
        return false;
    }
    if (!place(img, opts, ppi, p)) {
        error = "image is too large to print at " + std::to_string(ppi) + " pixels per inch";
        return false;
    }
    job.begin_page();
    if (!print_image(img.width, img.height, raster, p)) {
        error = "the image could not be written";
        return false;
    }
    job.end_page();
    return true;
}

} // namespace

int cmd_convert(int argc, char **argv) {
    JobOptions opts;
    PdfOptions pdf;
    long ppi = 0;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc;) {
        const char *arg = argv[i];
        switch (take_pdf_option(kCommand, argc, argv, i, pdf)) {
        case OptionResult::Taken: continue;
        case OptionResult::Error: return 2;
        case OptionResult::NotMine: break;
        }
        switch (take_job_option(kCommand, argc, argv, i, opts)) {
        case OptionResult::Taken: continue;
        case OptionResult::Error: return 2;
        case OptionResult::NotMine: break;
        }
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            usage(stdout);
            return 0;
        } else if (!std::strcmp(arg, "--fit")) {
            ppi = 0;
            ++i;
        } else if (!std::strcmp(arg, "--ppi")) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "pclxl convert: --ppi needs a value\n");
                return 2;
            }
            if (!parse_number(kCommand, "ppi", argv[i + 1], 1, 100000, ppi))
                return 2;
            i += 2;
        } else if (!take_input(kCommand, arg, i, inputs, usage)) {
            return 2;
        }
    }
    if (!check_inputs_and_output(kCommand, inputs, "no input image", opts, usage))
        return 2;
    if (is_pdf_input(inputs))
        return convert_pdf(inputs, opts, pdf);

    opts.default_title(inputs.front());
    JobWriter job(kCommand, opts);
    if (!job.begin())
        return 1;
    for (const std::string &path : inputs) {
        std::string error;
        if (!print_input(job, path, opts, ppi, error)) {
            job.abort();
            std::fprintf(stderr, "pclxl convert: %s: %s\n",
                         path == "-" ? "<stdin>" : one_line(path).c_str(), one_line(error).c_str());
            return 1;
        }
    }
    return job.finish() ? 0 : 1;
}

} // namespace pclxl_tool
