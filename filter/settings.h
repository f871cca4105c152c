// How the filter turns a CUPS raster page header and the job's options into
// the library's job and page settings.
#ifndef RASTERTOPCLXL_SETTINGS_H
#define RASTERTOPCLXL_SETTINGS_H

#include <cups/cups.h>
#include <cups/raster.h>

#include <cstddef>

#include "media_names.h"

namespace rastertopclxl {

using pclxl_media::kMediaTypeCount;
using pclxl_media::kMediaTypes;
using pclxl_media::kPaperCount;
using pclxl_media::kPapers;
using pclxl_media::kTrayCount;
using pclxl_media::kTrays;
using pclxl_media::MediaType;
using pclxl_media::Paper;

// The paper of a page: by name (PPD keyword or library name) when the
// header carries a known one, else by size (within 1.5 points), else null.
const Paper *find_paper(const char *page_size_name, float width_pt, float height_pt);

// Everything the job header needs, taken from the first page and the job's
// options. The texts point into static tables or into the header.
struct JobSettings {
    const char *paper;      // library paper name, or "CUSTOM"
    const char *media_type; // library media type, "" for the default
    const char *tray;       // library tray name
    const char *color_mode; // "color" or "gray"
    const char *duplex;     // "simplex", "duplex_long_edge", "duplex_short_edge"
    unsigned copies;
    bool collate;
};

JobSettings job_settings(const cups_page_header2_t &first_page, int num_options,
                         cups_option_t *options);

// Where and how one page goes: media size, page origin and image layout.
struct PageLayout {
    const char *media_size_name; // "A4" ... or "CUSTOM"
    int media_size_code;         // PCL XL code, or -1
    const char *pclxl_media_type;
    const char *duplex;
    unsigned origin_x, origin_y;       // imageable-area offset, in device pixels
    float custom_width, custom_height; // custom size at 600 dpi, less 2 x origin
};

PageLayout page_layout(const cups_page_header2_t &page);

// The duplex mode of a page header.
const char *duplex_mode(const cups_page_header2_t &page);

} // namespace rastertopclxl

#endif
