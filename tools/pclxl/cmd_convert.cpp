// pclxl convert: prints PNG and PNM images, one page each.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "convert_pdf.h"
#include "image_io.h"
#include "job_options.h"
#include "pclxl.h"

namespace pclxl_tool {

namespace {

const char kCommand[] = "convert";

void usage(FILE *out) {
    std::fprintf(out,
                 "usage: pclxl convert [options] [--fit | --dpi N] IMAGE... -o FILE\n"
                 "Prints each PNG or PNM image on a page of its own, centred on the printable\n"
                 "area: scaled to fit (--fit, the default) or at N pixels per inch (--dpi N).\n\n"
                 "%s%s",
                 kJobOptionsHelp, kPdfOptionsHelp);
}

// The largest printed size, in page units: coordinates are 16-bit.
constexpr long kMaxDest = 32000;

struct Placement {
    int x, y, width, height;
};

// Centred on the printable area, scaled to fit keeping the aspect ratio,
// or at `dpi` pixels per inch when it is not 0.
bool place(const Image &img, const JobOptions &opts, long dpi, Placement &p) {
    const double area_w = opts.area_width(), area_h = opts.area_height();
    double w, h;
    if (dpi > 0) {
        w = std::round(img.width * static_cast<double>(kResolution) / dpi);
        h = std::round(img.height * static_cast<double>(kResolution) / dpi);
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
// as 1, 8-bit gray rows, or 24-bit rows in B, G, R order. Colour becomes
// gray in a grayscale job.
struct Raster {
    int bits_per_pixel;
    int stride;
    std::vector<uint8_t> data;
};

Raster to_raster(const Image &img, bool color) {
    Raster r{};
    const size_t w = img.width, h = img.height;
    if (img.kind == Image::Bilevel) {
        r.bits_per_pixel = 1;
        r.stride = static_cast<int>((w + 7) / 8);
        r.data.assign(r.stride * h, 0);
        for (size_t y = 0; y < h; ++y)
            for (size_t x = 0; x < w; ++x)
                if (img.pixels[y * w + x])
                    r.data[y * r.stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    } else if (img.kind == Image::Gray || !color) {
        r.bits_per_pixel = 8;
        r.stride = static_cast<int>(w);
        if (img.kind == Image::Gray) {
            r.data = img.pixels;
        } else {
            r.data.resize(w * h);
            for (size_t i = 0; i < w * h; ++i) {
                const uint8_t *p = &img.pixels[3 * i];
                r.data[i] = static_cast<uint8_t>((p[0] * 30 + p[1] * 59 + p[2] * 11 + 50) / 100);
            }
        }
    } else {
        r.bits_per_pixel = 24;
        r.stride = static_cast<int>(3 * w);
        r.data.resize(3 * w * h);
        for (size_t i = 0; i < w * h; ++i) {
            r.data[3 * i] = img.pixels[3 * i + 2];
            r.data[3 * i + 1] = img.pixels[3 * i + 1];
            r.data[3 * i + 2] = img.pixels[3 * i];
        }
    }
    return r;
}

// The library sends a row of at most 32767 bytes.
bool fits_row_limit(const Raster &r, int width) {
    const long row =
        r.bits_per_pixel == 1 ? r.stride : static_cast<long>(width) * (r.bits_per_pixel / 8);
    return row <= 32767;
}

bool print_image(const Image &img, const Raster &raster, const Placement &p) {
    if (raster.bits_per_pixel == 1)
        pclxl_set_color_space_with_palette(1, 0x000000, 0xFFFFFF); // 0 black, 1 white
    else
        pclxl_set_color_space(raster.bits_per_pixel == 8 ? 1 : 2);
    std::vector<uint8_t> rows = raster.data; // 24-bit rows are swapped in place
    return pclxl_write_bitmap_data(raster.bits_per_pixel == 1 ? 1 : 0, rows.data(), img.width,
                                   img.height, raster.stride, raster.bits_per_pixel,
                                   static_cast<int16_t>(p.x), static_cast<int16_t>(p.y),
                                   static_cast<uint16_t>(p.width),
                                   static_cast<uint16_t>(p.height)) == 1;
}

} // namespace

int cmd_convert(int argc, char **argv) {
    JobOptions opts;
    PdfOptions pdf;
    long dpi = 0;
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
            dpi = 0;
            ++i;
        } else if (!std::strcmp(arg, "--dpi")) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "pclxl convert: --dpi needs a value\n");
                return 2;
            }
            if (!parse_number(kCommand, "dpi", argv[i + 1], 1, 100000, dpi))
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

    JobWriter job(kCommand, opts);
    if (!job.begin())
        return 1;
    for (const std::string &path : inputs) {
        Image img;
        std::string error;
        Placement p{};
        bool ok = load_image(path, img, error);
        Raster raster;
        if (ok) {
            raster = to_raster(img, opts.color);
            if (!fits_row_limit(raster, img.width)) {
                error = "image is too wide to print (" + std::to_string(img.width) + " pixels)";
                ok = false;
            } else if (!place(img, opts, dpi, p)) {
                error = "image is too large to print at " + std::to_string(dpi) + " dpi";
                ok = false;
            }
        }
        if (!ok) {
            job.abort();
            std::fprintf(stderr, "pclxl convert: %s: %s\n", path.c_str(), error.c_str());
            return 1;
        }
        job.begin_page();
        if (!print_image(img, raster, p)) {
            job.abort();
            std::fprintf(stderr, "pclxl convert: %s: the image could not be written\n",
                         path.c_str());
            return 1;
        }
        job.end_page();
    }
    return job.finish() ? 0 : 1;
}

} // namespace pclxl_tool
