#include "page_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "pclxl.h"

namespace pclxl_app {
namespace {

// What one image can be: at most 32767 bytes per row, 65535 pixels a side,
// and every coordinate inside +-32700.
constexpr unsigned kMaxRowBytes = 32767;
constexpr unsigned kMaxSide = 65535;
constexpr unsigned kMaxCoordinate = 32700;

// Rows go out in bands of about this size: large enough that the image
// overhead does not count, small enough to keep a job's memory low.
constexpr size_t kBandBytes = 512 * 1024;

unsigned input_bytes_per_pixel(Pixels p) { return p == Pixels::Rgb ? 3 : 1; }

// Pixels of a length in hundredths of a millimetre, rounded.
unsigned to_pixels(int hundredths_mm, unsigned resolution) {
    if (hundredths_mm <= 0)
        return 0;
    return static_cast<unsigned>((static_cast<uint64_t>(hundredths_mm) * resolution + 1270) / 2540);
}

unsigned scale(unsigned value, unsigned to, unsigned from) {
    return from == to ? value : static_cast<unsigned>(static_cast<uint64_t>(value) * to / from);
}

} // namespace

PrintableArea printable_area(const PageSetup &page) {
    PrintableArea a;
    const unsigned left = to_pixels(page.margin_left, page.resolution_x);
    const unsigned right = to_pixels(page.margin_right, page.resolution_x);
    const unsigned top = to_pixels(page.margin_top, page.resolution_y);
    const unsigned bottom = to_pixels(page.margin_bottom, page.resolution_y);
    if (page.printable_area_only) {
        a.width = page.width;
        a.height = page.height;
    } else if (page.width > left + right && page.height > top + bottom) {
        a.left = left;
        a.top = top;
        a.width = page.width - left - right;
        a.height = page.height - top - bottom;
    }
    a.origin_x = left;
    a.origin_y = top;
    return a;
}

// The job's own writer: every library call on the job's thread goes to
// this PageWriter's sink, and the library's lines to its message handler.
// Jobs on other threads have writers of their own, so they never wait for
// each other.
struct PageWriter::Binding {
    static void on_write(const void *buffer, unsigned int length, const void *context) {
        auto *self = static_cast<PageWriter *>(const_cast<void *>(context));
        if (self->failed_)
            return;
        self->bytes_ += length;
        if (!self->sink_(buffer, length, self->sink_context_))
            self->failed_ = true;
    }
    static void on_message(const char *line, void *context) {
        static_cast<PageWriter *>(context)->message(line);
    }
    explicit Binding(PageWriter *self) : writer(pclxl_writer_new(self, on_write)) {
        if (writer) {
            pclxl_writer_use(writer);
            pclxl_set_message_handler(on_message, self);
        }
    }
    bool ok() const { return writer != nullptr; }
    // The callbacks of one job may in principle come from another thread.
    void use() { pclxl_writer_use(writer); }
    ~Binding() { pclxl_writer_free(writer); }
    pclxl_writer *writer;
};

PageWriter::PageWriter(SinkFn sink, void *sink_context, MessageFn message, void *message_context)
    : sink_(sink), sink_context_(sink_context), message_fn_(message),
      message_context_(message_context) {}

PageWriter::~PageWriter() { end_job(); }

void PageWriter::message(const char *line) {
    if (message_fn_)
        message_fn_(line, message_context_);
}

void PageWriter::start_job(const pclxl_host::Job &job) {
    job_ = job;
    job_.copies = job_.page_copies();
}

bool PageWriter::start_page(const PageSetup &page) {
    if (failed_)
        return false;
    char text[160];
    area_ = printable_area(page);
    if (page.resolution_x == 0 || page.resolution_y == 0 || page.resolution_x > kMaxSide ||
        page.resolution_y > kMaxSide || area_.width == 0 || area_.width > kMaxSide) {
        std::snprintf(text, sizeof text, "Page %u: %ux%u pixels at %ux%u dpi cannot be printed.",
                      pages_ + 1, page.width, page.height, page.resolution_x, page.resolution_y);
        message(text);
        return false;
    }
    // Everything on the page is in session units (the first page's
    // resolution); a page at another resolution is scaled to them.
    const unsigned sx = session_open_ ? session_x_ : page.resolution_x;
    const unsigned sy = session_open_ ? session_y_ : page.resolution_y;
    const unsigned origin_x = scale(area_.origin_x, sx, page.resolution_x);
    const unsigned origin_y = scale(area_.origin_y, sy, page.resolution_y);
    if (origin_y + scale(area_.height, sy, page.resolution_y) > kMaxCoordinate ||
        origin_x + scale(area_.width, sx, page.resolution_x) > kMaxCoordinate) {
        std::snprintf(text, sizeof text, "Page %u is too large for the printer's coordinates.",
                      pages_ + 1);
        message(text);
        return false;
    }
    if (!bind())
        return false;

    if (!session_open_) {
        session_x_ = page.resolution_x;
        session_y_ = page.resolution_y;
        job_.paper = pclxl_host::find_paper(page.paper.c_str());
        pclxl_job_settings s = job_.settings();
        const bool known = session_x_ == session_y_ &&
                           (session_x_ == 300 || session_x_ == 600 || session_x_ == 1200);
        s.resolution = known ? static_cast<uint16_t>(session_x_) : 0;
        if (!pclxl_start_job_with(&s)) {
            failed_ = true;
            return false;
        }
        pclxl_begin_session(static_cast<uint16_t>(session_x_), static_cast<uint16_t>(session_y_));
        pclxl_open_datasource();
        session_open_ = true;
    }

    page_ = page;
    // A custom size is given at 600 dpi without the two margins.
    const unsigned sheet_w =
        page.printable_area_only
            ? page.width + area_.origin_x + to_pixels(page.margin_right, page.resolution_x)
            : page.width;
    const unsigned sheet_h =
        page.printable_area_only
            ? page.height + area_.origin_y + to_pixels(page.margin_bottom, page.resolution_y)
            : page.height;
    const float custom_width = static_cast<float>(scale(sheet_w, 600, page.resolution_x)) -
                               2.0f * static_cast<float>(origin_x);
    const float custom_height = static_cast<float>(scale(sheet_h, 600, page.resolution_y)) -
                                2.0f * static_cast<float>(origin_y);
    pclxl_begin_page(0, 0, page.duplex.c_str(),
                     page.media_size_code >= 0 ? page.media_size_name : "CUSTOM",
                     page.media_size_code, page.pclxl_media_type.c_str(), page.media_source,
                     static_cast<uint16_t>(origin_x), static_cast<uint16_t>(origin_y), custom_width,
                     custom_height);
    rgb_ = page.pixels == Pixels::Rgb && job_.color;
    pclxl_set_color_space(rgb_ ? PCLXL_COLOR_SPACE_RGB : PCLXL_COLOR_SPACE_GRAY);
    page_open_ = true;

    row_bytes_ = static_cast<size_t>(area_.width) * (rgb_ ? 3 : 1);
    band_capacity_ = static_cast<unsigned>(std::max<size_t>(1, kBandBytes / row_bytes_));
    band_capacity_ = std::min(band_capacity_, area_.height);
    band_.resize(row_bytes_ * band_capacity_);
    band_first_ = area_.top;
    band_rows_ = 0;
    return !failed_;
}

bool PageWriter::write_row(unsigned y, const unsigned char *row) {
    if (failed_ || !page_open_)
        return false;
    if (y < area_.top || y >= area_.top + area_.height)
        return true;
    if (y != band_first_ + band_rows_ || band_rows_ == band_capacity_) {
        if (!flush_band())
            return false;
        band_first_ = y;
    }
    const unsigned char *src =
        row + static_cast<size_t>(area_.left) * input_bytes_per_pixel(page_.pixels);
    unsigned char *dst = band_.data() + band_rows_ * row_bytes_;
    switch (page_.pixels) {
    case Pixels::Gray: std::memcpy(dst, src, row_bytes_); break;
    case Pixels::Black:
        for (size_t i = 0; i < row_bytes_; i++)
            dst[i] = static_cast<unsigned char>(~src[i]);
        break;
    case Pixels::Rgb:
        if (rgb_) {
            std::memcpy(dst, src, row_bytes_);
            break;
        }
        // Same weights as the library's gray palette.
        for (size_t i = 0; i < row_bytes_; i++, src += 3)
            dst[i] = static_cast<unsigned char>((30 * src[0] + 59 * src[1] + 11 * src[2]) / 100);
        break;
    }
    band_rows_++;
    return true;
}

bool PageWriter::flush_band() {
    if (band_rows_ == 0)
        return !failed_;
    const unsigned rows = band_rows_;
    band_rows_ = 0;
    // White bands are not sent: the page starts white and images are
    // painted with source copy.
    const size_t length = rows * row_bytes_;
    const unsigned char *p = band_.data();
    if (std::all_of(p, p + length, [](unsigned char c) { return c == 0xFF; }))
        return !failed_;

    binding_->use();
    const unsigned bpp = rgb_ ? 3 : 1;
    const unsigned strip = kMaxRowBytes / bpp;
    const unsigned y = scale(band_first_ - area_.top, session_y_, page_.resolution_y);
    const unsigned dest_h = std::max(1u, scale(rows, session_y_, page_.resolution_y));
    for (unsigned x0 = 0; x0 < area_.width && !failed_; x0 += strip) {
        const unsigned w = std::min(strip, area_.width - x0);
        const unsigned x = scale(x0, session_x_, page_.resolution_x);
        const unsigned dest_w = std::max(1u, scale(w, session_x_, page_.resolution_x));
        const unsigned char *data = band_.data() + static_cast<size_t>(x0) * bpp;
        const int32_t format = rgb_ ? PCLXL_PIXELS_RGB24 : PCLXL_PIXELS_GRAY8;
        const int ok = pclxl_write_pixels(
            format, data, static_cast<int32_t>(w), static_cast<int32_t>(rows),
            static_cast<int32_t>(row_bytes_), static_cast<int16_t>(x), static_cast<int16_t>(y),
            static_cast<uint16_t>(dest_w), static_cast<uint16_t>(dest_h));
        if (!ok && !failed_) {
            message("The library refused an image.");
            failed_ = true;
        }
    }
    return !failed_;
}

bool PageWriter::end_page(bool cancelled) {
    if (!page_open_)
        return !failed_;
    if (!cancelled)
        flush_band();
    band_rows_ = 0;
    binding_->use();
    if (cancelled)
        pclxl_end_page(false, 1);
    else
        pclxl_end_page(job_.collate, static_cast<uint16_t>(job_.copies));
    page_open_ = false;
    pages_++;
    return !failed_;
}

bool PageWriter::bind() {
    if (!binding_) {
        binding_ = std::make_unique<Binding>(this);
        if (!binding_->ok()) {
            binding_.reset();
            message("Out of memory.");
            return false;
        }
    }
    binding_->use();
    return true;
}

bool PageWriter::write_whole_job(bool (*write)(void *), void *argument) {
    if (failed_ || session_open_)
        return false;
    if (!bind())
        return false;
    const bool ok = write(argument);
    binding_.reset();
    return ok && !failed_;
}

bool PageWriter::end_job() {
    if (page_open_)
        end_page(true);
    if (session_open_) {
        binding_->use();
        pclxl_close_datasource();
        pclxl_end_session();
        pclxl_end_job();
        session_open_ = false;
    }
    binding_.reset();
    std::vector<unsigned char>().swap(band_);
    return !failed_;
}

} // namespace pclxl_app
