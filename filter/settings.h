// How the filter turns a CUPS raster page header and the job's options into
// the library's job and page settings, and the PDF filter's options and PPD
// into the job.
#ifndef RASTERTOPCLXL_SETTINGS_H
#define RASTERTOPCLXL_SETTINGS_H

#include <cups/cups.h>
#include <cups/raster.h>

#include <cstddef>

#include "job.h"

namespace rastertopclxl {

using pclxl_media::kMediaTypeCount;
using pclxl_media::kMediaTypes;
using pclxl_media::kPaperCount;
using pclxl_media::kPapers;
using pclxl_media::kTrayCount;
using pclxl_media::kTrays;
using pclxl_media::MediaType;
using pclxl_media::Paper;

// The job of the raster filter, from the first page's header and the job's
// options.
pclxl_host::Job job_settings(const cups_page_header2_t &first_page, int num_options,
                             cups_option_t *options);

// The PPD's marked choice for `keyword`, or null.
using MarkedChoice = const char *(*)(const char *keyword, void *context);

// The job of the PDF filter: paper, colour, sides, tray, media type,
// resolution and collation from the PPD's marked choices (its defaults and
// the job's options, as `marked` reports them), the rest from the job's
// options, title, user and copies. With no paper marked each page takes its
// own.
pclxl_host::Job ppd_job(MarkedChoice marked, void *context, int num_options, cups_option_t *options,
                        const char *title, const char *user, const char *copies);

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

// The sides of a page header.
pclxl_host::Sides page_sides(const cups_page_header2_t &page);

// The make and model of the printer whose PPD the PPD environment variable
// names ("" without one), and the job as that model's quirks (the quirks
// file, see host/quirks.h) allow it; writes one DEBUG line saying which.
void apply_model_quirks(pclxl_host::Job &job);

} // namespace rastertopclxl

#endif
