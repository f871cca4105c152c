// The page loop of the raster filter: CUPS raster pages in, one PJL + PCL XL
// job out, written through libpclxl.
#include "rastertopclxl.h"

#include <cups/cups.h>
#include <cups/raster.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

#include "pclxl.h"
#include "settings.h"
#include "text_line.h"

namespace rastertopclxl {

// Control characters (CR and LF among them) would let a text from the
// job start a line of its own on stderr, which the scheduler obeys, or in
// the PJL header: each becomes a blank.
using pclxl_host::clean_text;

namespace {

constexpr int kDefaultMediaSource = 0; // eDefaultSource: the PJL MEDIASOURCE

// Limits of what one page image can be: the library takes at most 32767
// bytes per row and 65535 pixels a side, and places images at most 32700
// units from the origin. A page whose rows are longer is sent as images
// side by side.
constexpr unsigned kMaxRowBytes = 32767;
constexpr unsigned kMaxWidth = 65535;
constexpr unsigned kMaxHeight = 32700;
constexpr unsigned kMaxPlace = 32700;

// Columns of one image: all of them, or as many as a row of one image holds
// (a 1-bit row of 65535 pixels always fits).
unsigned strip_columns(const cups_page_header2_t &h) {
    if (h.cupsBitsPerPixel == 1)
        return h.cupsWidth;
    const unsigned columns = kMaxRowBytes / (h.cupsBitsPerPixel / 8);
    return h.cupsWidth < columns ? h.cupsWidth : columns;
}

// Rows are read and sent in bands of about this many bytes: big enough that
// the per-image overhead vanishes, small enough to keep memory low.
constexpr size_t kBandBytes = 1 << 20;

// The library's sink: pieces are collected until a page is complete, then
// written out, so the output never ends inside a page.
struct Output {
    int fd = -1;
    std::vector<unsigned char> pending;
    bool failed = false;
    int error = 0;

    static void on_write(const void *buffer, unsigned int length, const void *context) {
        auto *self = static_cast<Output *>(const_cast<void *>(context));
        const auto *bytes = static_cast<const unsigned char *>(buffer);
        self->pending.insert(self->pending.end(), bytes, bytes + length);
    }

    bool flush() {
        size_t done = 0;
        while (!failed && done < pending.size()) {
            ssize_t n = write(fd, pending.data() + done, pending.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                failed = true;
                error = n < 0 ? errno : EIO;
            } else {
                done += static_cast<size_t>(n);
            }
        }
        pending.clear();
        return !failed;
    }
};

// Raster input through a counting reader, so that bytes after the last
// complete page (a cut or garbled header) can be told from a clean end.
struct Input {
    int fd;
    uint64_t bytes = 0;

    static ssize_t on_read(void *context, unsigned char *buffer, size_t length) {
        auto *self = static_cast<Input *>(context);
        ssize_t n;
        do
            n = read(self->fd, buffer, length);
        while (n < 0 && errno == EINTR);
        if (n > 0)
            self->bytes += static_cast<uint64_t>(n);
        return n;
    }
};

enum class Pixels { Gray, InvertedGray, Rgb, BlackOnWhite, WhiteOnBlack };

// How a page's raster maps to a PCL XL image, or false when it cannot.
bool classify(const cups_page_header2_t &h, Pixels *pixels) {
    if (h.cupsColorOrder != CUPS_ORDER_CHUNKED)
        return false;
    const unsigned cs = h.cupsColorSpace;
    const bool gray = cs == CUPS_CSPACE_W || cs == CUPS_CSPACE_SW;
    if (h.cupsBitsPerPixel == 1 && h.cupsBitsPerColor == 1) {
        if (cs == CUPS_CSPACE_K)
            *pixels = Pixels::BlackOnWhite;
        else if (gray)
            *pixels = Pixels::WhiteOnBlack;
        else
            return false;
        return true;
    }
    if (h.cupsBitsPerPixel == 8 && h.cupsBitsPerColor == 8) {
        if (cs == CUPS_CSPACE_K)
            *pixels = Pixels::InvertedGray;
        else if (gray)
            *pixels = Pixels::Gray;
        else
            return false;
        return true;
    }
    if (h.cupsBitsPerPixel == 24 && h.cupsBitsPerColor == 8 &&
        (cs == CUPS_CSPACE_RGB || cs == CUPS_CSPACE_SRGB || cs == CUPS_CSPACE_ADOBERGB)) {
        *pixels = Pixels::Rgb;
        return true;
    }
    return false;
}

// The header's sizes must agree with each other and fit one PCL XL image.
const char *check_geometry(const cups_page_header2_t &h) {
    if (h.cupsWidth == 0 || h.cupsHeight == 0)
        return "empty page";
    if (h.cupsBytesPerLine != (static_cast<uint64_t>(h.cupsWidth) * h.cupsBitsPerPixel + 7) / 8)
        return "bytes per line do not match width and depth";
    if (h.cupsWidth > kMaxWidth || h.cupsHeight > kMaxHeight)
        return "page too large";
    if (strip_columns(h) < h.cupsWidth && h.cupsWidth > kMaxPlace)
        return "rows too long";
    if (h.HWResolution[0] == 0 || h.HWResolution[1] == 0 || h.HWResolution[0] > 65535 ||
        h.HWResolution[1] > 65535)
        return "bad resolution";
    return nullptr;
}

// Text fields of a raster header come straight from the input: each is
// ended and cleaned before anything prints or sends it.
template <size_t N> void clean_field(char (&field)[N]) {
    field[N - 1] = 0;
    clean_text(field);
}

void clean_texts(cups_page_header2_t &h) {
    clean_field(h.MediaClass);
    clean_field(h.MediaColor);
    clean_field(h.MediaType);
    clean_field(h.OutputType);
    clean_field(h.cupsRenderingIntent);
    clean_field(h.cupsPageSizeName);
}

// The library's lines: its refusals as errors, its traces and warnings
// as debugging output, cleaned like any text the filter passes on.
void on_library_line(const char *line, void *) {
    std::string text = line;
    clean_text(&text[0]);
    const bool error = text.find("Error") != std::string::npos;
    std::fprintf(stderr, "%s: %s\n", error ? "ERROR" : "DEBUG", text.c_str());
}

// The job header's RESOLUTION: the session's when the printer can be told
// it, else the header's default.
uint16_t pjl_resolution(unsigned x, unsigned y) {
    return x == y && (x == 300 || x == 600 || x == 1200) ? static_cast<uint16_t>(x) : 0;
}

// So do its enumeration fields: a number outside an enumeration must not
// even be loaded as that type. Each field the filter reads is checked as a
// plain number and, when out of range, replaced: flags by true, the colour
// order and space by values that the filter refuses.
template <typename E> void limit_enum(E &field, uint32_t largest, E replacement) {
    uint32_t raw;
    static_assert(sizeof field == sizeof raw, "raster header fields are 32 bits");
    std::memcpy(&raw, &field, sizeof raw);
    if (raw > largest)
        field = replacement;
}

void limit_enums(cups_page_header2_t &h) {
    limit_enum(h.Duplex, CUPS_TRUE, CUPS_TRUE);
    limit_enum(h.Tumble, CUPS_TRUE, CUPS_TRUE);
    limit_enum(h.cupsColorOrder, CUPS_ORDER_PLANAR, CUPS_ORDER_PLANAR);
    limit_enum(h.cupsColorSpace, CUPS_CSPACE_DEVICEF, CUPS_CSPACE_DEVICEF);
}

// Converts a band in place to what the library sends, and tells whether it
// is blank. Blank bands are not sent: the page starts white and images are
// painted with source copy, so painting white would change nothing.
bool prepare_band(Pixels pixels, unsigned char *data, size_t length) {
    unsigned char any = 0;
    switch (pixels) {
    case Pixels::Gray:
        for (size_t i = 0; i < length; i++)
            any |= static_cast<unsigned char>(~data[i]);
        break;
    case Pixels::InvertedGray:
        for (size_t i = 0; i < length; i++) {
            data[i] = static_cast<unsigned char>(~data[i]);
            any |= static_cast<unsigned char>(~data[i]);
        }
        break;
    case Pixels::Rgb: // R,G,B rows go to the library as they are
        for (size_t i = 0; i < length; i++)
            any |= static_cast<unsigned char>(~data[i]);
        break;
    case Pixels::BlackOnWhite:
        for (size_t i = 0; i < length; i++)
            any |= data[i];
        break;
    case Pixels::WhiteOnBlack:
        for (size_t i = 0; i < length; i++)
            any |= static_cast<unsigned char>(~data[i]);
        break;
    }
    return any == 0;
}

enum class PageResult { Done, Truncated, EncodeFailed };

// Reads the page's rows band by band and writes the page through the
// library (into Output's pending bytes).
PageResult convert_page(cups_raster_t *raster, const cups_page_header2_t &h, Pixels pixels,
                        bool collate, unsigned copies, std::vector<unsigned char> &band) {
    const PageLayout layout = page_layout(h);
    pclxl_begin_page(0, 0, layout.duplex, layout.media_size_name, layout.media_size_code,
                     layout.pclxl_media_type, kDefaultMediaSource,
                     static_cast<uint16_t>(layout.origin_x), static_cast<uint16_t>(layout.origin_y),
                     layout.custom_width, layout.custom_height);
    int format = PCLXL_PIXELS_GRAY8;
    switch (pixels) {
    case Pixels::Gray:
    case Pixels::InvertedGray: pclxl_set_color_space(PCLXL_COLOR_SPACE_GRAY); break;
    case Pixels::Rgb:
        pclxl_set_color_space(PCLXL_COLOR_SPACE_RGB);
        format = PCLXL_PIXELS_RGB24;
        break;
    case Pixels::BlackOnWhite:
        pclxl_set_color_space_with_palette(PCLXL_COLOR_SPACE_GRAY, 0xFFFFFF, 0x000000);
        format = PCLXL_PIXELS_BITS1;
        break;
    case Pixels::WhiteOnBlack:
        pclxl_set_color_space_with_palette(PCLXL_COLOR_SPACE_GRAY, 0x000000, 0xFFFFFF);
        format = PCLXL_PIXELS_BITS1;
        break;
    }

    const unsigned stride = h.cupsBytesPerLine;
    const unsigned columns = strip_columns(h), pixel_bytes = h.cupsBitsPerPixel / 8;
    unsigned band_rows = static_cast<unsigned>(kBandBytes / stride);
    if (band_rows == 0)
        band_rows = 1;
    if (band_rows > h.cupsHeight)
        band_rows = h.cupsHeight;
    band.resize(static_cast<size_t>(band_rows) * stride);

    for (unsigned y = 0; y < h.cupsHeight; y += band_rows) {
        const unsigned rows = h.cupsHeight - y < band_rows ? h.cupsHeight - y : band_rows;
        const unsigned length = rows * stride;
        if (cupsRasterReadPixels(raster, band.data(), length) != length)
            return PageResult::Truncated;
        if (prepare_band(pixels, band.data(), length))
            continue;
        for (unsigned x = 0; x < h.cupsWidth; x += columns) {
            const unsigned width = h.cupsWidth - x < columns ? h.cupsWidth - x : columns;
            if (!pclxl_write_pixels(format, band.data() + static_cast<size_t>(x) * pixel_bytes,
                                    static_cast<int32_t>(width), static_cast<int32_t>(rows),
                                    static_cast<int32_t>(stride), static_cast<int16_t>(x),
                                    static_cast<int16_t>(y), static_cast<uint16_t>(width),
                                    static_cast<uint16_t>(rows)))
                return PageResult::EncodeFailed;
        }
    }
    pclxl_end_page(collate, static_cast<uint16_t>(copies));
    return PageResult::Done;
}

bool cancelled(const volatile sig_atomic_t *cancel) { return cancel && *cancel; }

int run(int in_fd, int out_fd, const char *options, const char *job_name, const char *user,
        const volatile sig_atomic_t *cancel) {
    Input input{in_fd};
    Output output;
    output.fd = out_fd;
    cups_raster_t *raster = cupsRasterOpenIO(Input::on_read, &input, CUPS_RASTER_READ);
    if (!raster) {
        std::fprintf(stderr, "ERROR: The input is not a CUPS raster stream.\n");
        return 1;
    }
    cups_option_t *opts = nullptr;
    int num_opts = cupsParseOptions(options ? options : "", 0, &opts);

    pclxl_init(&output, Output::on_write);
    pclxl_set_message_handler(on_library_line, nullptr);
    std::string name = job_name ? job_name : "", owner = user ? user : "";
    clean_text(&name[0]);
    clean_text(&owner[0]);
    int status = 0;
    unsigned pages = 0;
    uint64_t bytes_at_page_end = input.bytes;
    pclxl_host::Job job;
    unsigned session_x = 0, session_y = 0;
    std::vector<unsigned char> band;
    cups_page_header2_t h;

    while (!cancelled(cancel)) {
        if (!cupsRasterReadHeader2(raster, &h)) {
            // A clean end consumes nothing after the last page.
            if (input.bytes != bytes_at_page_end || pages == 0) {
                std::fprintf(stderr,
                             pages ? "ERROR: The raster header after page %u is cut off or "
                                     "malformed.\n"
                                   : "ERROR: No pages found in the raster stream.\n",
                             pages);
                status = 1;
            }
            break;
        }
        clean_texts(h);
        limit_enums(h);
        const unsigned page = pages + 1;
        Pixels pixels;
        if (!classify(h, &pixels)) {
            std::fprintf(stderr,
                         "ERROR: Page %u: unsupported raster (%u bits per pixel, %u per colour, "
                         "colour space %u, colour order %u).\n",
                         page, h.cupsBitsPerPixel, h.cupsBitsPerColor, h.cupsColorSpace,
                         h.cupsColorOrder);
            status = 1;
            break;
        }
        if (const char *why = check_geometry(h)) {
            std::fprintf(stderr, "ERROR: Page %u: malformed raster header (%s).\n", page, why);
            status = 1;
            break;
        }
        if (pages == 0) {
            job = job_settings(h, num_opts, opts);
            apply_model_quirks(job);
            session_x = h.HWResolution[0];
            session_y = h.HWResolution[1];
            std::fprintf(stderr,
                         "DEBUG: Job: paper %s, media type \"%s\", tray %s, %s, %s, %u "
                         "copies%s, %ux%u dpi\n",
                         job.paper_name(), job.media_type_name(), job.tray->name,
                         job.color ? "color" : "gray", job.duplex_mode(), job.copies,
                         job.collate ? " collated" : "", session_x, session_y);
            pclxl_job_settings settings = job.settings();
            settings.job_name = job_name ? name.c_str() : nullptr;
            settings.user_name = user ? owner.c_str() : nullptr;
            settings.resolution = pjl_resolution(session_x, session_y);
            pclxl_start_job_with(&settings);
            pclxl_begin_session(static_cast<uint16_t>(session_x), static_cast<uint16_t>(session_y));
            pclxl_open_datasource();
        } else if (h.HWResolution[0] != session_x || h.HWResolution[1] != session_y) {
            std::fprintf(stderr, "ERROR: Page %u: resolution %ux%u differs from the job's %ux%u.\n",
                         page, h.HWResolution[0], h.HWResolution[1], session_x, session_y);
            status = 1;
            break;
        }

        std::fprintf(stderr, "INFO: Printing page %u.\n", page);
        const size_t mark = output.pending.size();
        PageResult result = convert_page(raster, h, pixels, job.collate, job.copies, band);
        if (result != PageResult::Done) {
            output.pending.resize(mark);
            if (result == PageResult::Truncated && cancelled(cancel)) {
                std::fprintf(stderr, "DEBUG: Page %u cut off by the cancellation.\n", page);
            } else {
                std::fprintf(stderr,
                             result == PageResult::Truncated
                                 ? "ERROR: The raster data of page %u is cut off.\n"
                                 : "ERROR: Page %u could not be encoded.\n",
                             page);
                status = 1;
            }
            break;
        }
        if (!output.flush())
            break;
        pages = page;
        bytes_at_page_end = input.bytes;
        std::fprintf(stderr, "PAGE: %u %u\n", page, job.copies);
    }

    if (pages > 0 && !output.failed) {
        pclxl_close_datasource();
        pclxl_end_session();
        pclxl_end_job();
        output.flush();
    } else {
        output.pending.clear();
    }
    if (output.failed) {
        std::fprintf(stderr, "ERROR: Unable to write the print data: %s\n",
                     std::strerror(output.error));
        status = 1;
    }
    if (cancelled(cancel))
        std::fprintf(stderr, "INFO: Job canceled after %u pages.\n", pages);
    pclxl_init(nullptr, nullptr);
    pclxl_set_message_handler(nullptr, nullptr);
    cupsFreeOptions(num_opts, opts);
    cupsRasterClose(raster);
    return status;
}

} // namespace
} // namespace rastertopclxl

extern "C" int rastertopclxl_run_job(int in_fd, int out_fd, const char *options,
                                     const char *job_name, const char *user,
                                     const volatile sig_atomic_t *cancel) {
    try {
        return rastertopclxl::run(in_fd, out_fd, options, job_name, user, cancel);
    } catch (const std::bad_alloc &) {
        pclxl_init(nullptr, nullptr);
        pclxl_set_message_handler(nullptr, nullptr);
        std::fprintf(stderr, "ERROR: Out of memory.\n");
        return 1;
    }
}

extern "C" int rastertopclxl_run(int in_fd, int out_fd, const char *options,
                                 const volatile sig_atomic_t *cancel) {
    return rastertopclxl_run_job(in_fd, out_fd, options, nullptr, nullptr, cancel);
}
