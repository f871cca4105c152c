// Test support: CUPS raster streams made in memory, and a run of the filter
// on them with its output and messages captured.
#ifndef PCLXL_TESTS_RASTER_MAKER_H
#define PCLXL_TESTS_RASTER_MAKER_H

#include <cups/raster.h>

#include <functional>
#include <string>
#include <vector>

namespace filter_test {

// A small A4 page at 600 dpi whose raster is the imageable area inside 12pt
// margins, as CUPS's PDF to raster filter makes it (only 64 x 16 pixels, so
// that tests stay fast).
cups_page_header2_t a4_header(unsigned bits_per_pixel, cups_cspace_t space);

// One page's rows: `fill(row, bytes)` fills each row of cupsBytesPerLine.
struct Page {
    cups_page_header2_t header;
    std::function<void(unsigned row, unsigned char *bytes)> fill;
};

// A whole raster stream, uncompressed as CUPS's PDF to raster filter writes it.
std::string make_raster(const std::vector<Page> &pages);

struct Result {
    int status;
    std::string output;   // the job written
    std::string messages; // stderr
};

// Runs the filter on `input` with the job's name and user (NULL: none).
Result run_filter(const std::string &input, const char *options = "",
                  const char *job_name = nullptr, const char *user = nullptr);

size_t count(const std::string &haystack, const std::string &needle);
std::string bytes(std::initializer_list<int> values);

} // namespace filter_test

#endif
