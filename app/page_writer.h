// The printer application's driver core: full-sheet raster rows in, one
// PJL + PCL XL job out through the library. Knows nothing about PAPPL, so
// the tests drive it directly.
#ifndef PCLXL_APP_PAGE_WRITER_H
#define PCLXL_APP_PAGE_WRITER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "job.h"

namespace pclxl_app {

// Receives the job's bytes in order. Returns false when the device is gone;
// the writer then stops encoding.
using SinkFn = bool (*)(const void *data, size_t length, void *context);
// One library message line (no newline).
using MessageFn = void (*)(const char *line, void *context);

// How the rows of a page are coded. A job that is not in colour prints
// R,G,B rows in gray.
enum class Pixels {
    Gray,  // 8 bits, 0 black (sGray, W)
    Black, // 8 bits, 0 white (K)
    Rgb,   // 24 bits R,G,B
};

// One page: the raster covers the whole sheet; the margins are what the
// printer cannot print, so only the rows and columns inside them are sent,
// at the place they have on the sheet.
struct PageSetup {
    unsigned width = 0, height = 0; // raster size in pixels
    unsigned resolution_x = 600, resolution_y = 600;
    Pixels pixels = Pixels::Gray;
    // Unprintable margins in hundredths of a millimetre.
    int margin_left = 0, margin_top = 0, margin_right = 0, margin_bottom = 0;
    // The sheet's paper as the library names it ("CUSTOM" for none); the
    // first page's goes into the PJL header.
    std::string paper = "CUSTOM";
    // PCL XL media size code (-1: custom size of the sheet).
    int media_size_code = -1;
    const char *media_size_name = "CUSTOM";
    std::string pclxl_media_type = "Plain";
    int media_source = 1;
    std::string duplex = "simplex";
    // The raster holds only the printable area (it starts at the margins)
    // instead of the whole sheet.
    bool printable_area_only = false;
};

// The part of the raster that is sent, and where it goes on the sheet.
struct PrintableArea {
    unsigned left = 0, top = 0;          // first column and row sent
    unsigned width = 0, height = 0;      // 0 when nothing is printable
    unsigned origin_x = 0, origin_y = 0; // its place on the sheet, pixels
};
PrintableArea printable_area(const PageSetup &page);

class PageWriter {
  public:
    PageWriter(SinkFn sink, void *sink_context, MessageFn message, void *message_context);
    ~PageWriter();
    PageWriter(const PageWriter &) = delete;
    PageWriter &operator=(const PageWriter &) = delete;

    // Nothing is written until the first page starts: its resolution is the
    // session's.
    // The job's paper is the first page's sheet; copies the printer makes
    // (1 when the pages already come once per copy).
    void start_job(const pclxl_host::Job &job);
    // False (with a message) for a page the printer cannot take.
    bool start_page(const PageSetup &page);
    // Row y of the page's raster, page.width pixels. Rows may be skipped;
    // missing rows print white.
    bool write_row(unsigned y, const unsigned char *row);
    // Ends the page. A cancelled page is ended as it is, with one copy.
    bool end_page(bool cancelled);
    // Ends the session and writes the trailer when a page was written.
    bool end_job();

    // Runs `write` with the library bound to this writer's sink and message
    // handler, for a host that writes a whole job itself. Not together with
    // pages of this writer.
    bool write_whole_job(bool (*write)(void *), void *argument);

    unsigned pages() const { return pages_; }
    bool failed() const { return failed_; }
    uint64_t bytes() const { return bytes_; }

  private:
    struct Binding;
    bool flush_band();
    // Binds the library's output to this writer on the calling thread.
    bool bind();
    void message(const char *line);

    SinkFn sink_;
    void *sink_context_;
    MessageFn message_fn_;
    void *message_context_;
    std::unique_ptr<Binding> binding_;
    pclxl_host::Job job_;
    PageSetup page_;
    PrintableArea area_;
    bool session_open_ = false, page_open_ = false, failed_ = false, rgb_ = false;
    unsigned session_x_ = 0, session_y_ = 0;
    unsigned pages_ = 0;
    uint64_t bytes_ = 0;
    // Rows of the printable area not sent yet, in the library's order.
    std::vector<unsigned char> band_;
    unsigned band_first_ = 0, band_rows_ = 0, band_capacity_ = 0;
    size_t row_bytes_ = 0;
};

} // namespace pclxl_app

#endif
