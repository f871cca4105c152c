#include "settings.h"

#include <cups/ppd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "quirks.h"
#include "text_line.h"

// A PPD's model is read through the PPD interface, which libcups marks
// deprecated in favour of IPP attributes that a filter does not get.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace rastertopclxl {

using pclxl_host::find_media_type;
using pclxl_host::find_tray;
using pclxl_host::is_true;

namespace {

float page_width_pt(const cups_page_header2_t &h) {
    return h.cupsPageSize[0] > 0 ? h.cupsPageSize[0] : static_cast<float>(h.PageSize[0]);
}
float page_height_pt(const cups_page_header2_t &h) {
    return h.cupsPageSize[1] > 0 ? h.cupsPageSize[1] : static_cast<float>(h.PageSize[1]);
}

// Device pixels from points, rounded to the nearest pixel.
unsigned to_pixels(float points, unsigned resolution) {
    if (!(points > 0))
        return 0;
    double px = std::floor(points * resolution / 72.0 + 0.5);
    return px > 65535 ? 65535 : static_cast<unsigned>(px);
}

} // namespace

namespace {

// The paper of a page: by name (PPD keyword or library name) when the
// header carries a known one, else by size.
const Paper *page_paper(const cups_page_header2_t &page) {
    const Paper *paper = pclxl_host::find_paper(page.cupsPageSizeName);
    return paper ? paper : pclxl_host::paper_for_size(page_width_pt(page), page_height_pt(page));
}

} // namespace

pclxl_host::Sides page_sides(const cups_page_header2_t &page) {
    if (!page.Duplex)
        return pclxl_host::Sides::OneSided;
    return page.Tumble ? pclxl_host::Sides::ShortEdge : pclxl_host::Sides::LongEdge;
}

pclxl_host::Job job_settings(const cups_page_header2_t &first, int num_options,
                             cups_option_t *options) {
    pclxl_host::Job s;
    s.paper = page_paper(first);

    // The raster header carries the media type that the PPD choice set;
    // an unknown text still reaches the printer (the library keeps only
    // safe characters of it).
    s.media_type = find_media_type(first.MediaType);
    if (!s.media_type && first.MediaType[0])
        s.other_media_type = first.MediaType;
    else if (!s.media_type)
        s.media_type = find_media_type(cupsGetOption("MediaType", num_options, options));

    // InputSlot by name wins; else the MediaPosition that the PPD's
    // InputSlot choice put into the raster.
    s.tray = find_tray(cupsGetOption("InputSlot", num_options, options));
    if (!s.tray)
        s.tray = first.MediaPosition < kTrayCount ? &kTrays[first.MediaPosition] : &kTrays[0];

    switch (first.cupsColorSpace) {
    case CUPS_CSPACE_RGB:
    case CUPS_CSPACE_SRGB:
    case CUPS_CSPACE_ADOBERGB: s.color = true; break;
    default: s.color = false; break;
    }
    s.sides = page_sides(first);
    // PageCopies is 16 bits; the job header says the same.
    s.copies = first.NumCopies == 0 ? 1 : first.NumCopies > 65535 ? 65535 : first.NumCopies;

    // The raster header's Collate is not reliable: the job's options are.
    const char *handling = cupsGetOption("multiple-document-handling", num_options, options);
    s.collate = is_true(cupsGetOption("Collate", num_options, options)) ||
                (handling && !std::strcmp(handling, "separate-documents-collated-copies"));
    return s;
}

pclxl_host::Job ppd_job(MarkedChoice marked, void *context, int num_options, cups_option_t *options,
                        const char *title, const char *user, const char *copies) {
    pclxl_host::Job o;
    o.title = title ? title : "";
    o.user = user ? user : "";
    const long n = copies ? std::strtol(copies, nullptr, 10) : 1;
    o.copies = n < 1 ? 1 : n > 65535 ? 65535 : static_cast<unsigned>(n);

    // Only the PPD's own sizes; a custom size leaves each page its own.
    o.paper = pclxl_host::find_paper(marked("PageSize", context));
    const char *model = marked("ColorModel", context);
    o.color = !(model && !strcasecmp(model, "Gray"));
    if (const char *mode = cupsGetOption("print-color-mode", num_options, options))
        o.color = std::strcmp(mode, "monochrome") != 0;
    if (!pclxl_host::parse_sides(marked("Duplex", context), o.sides))
        o.sides = pclxl_host::Sides::OneSided;
    if (const pclxl_host::Tray *tray = find_tray(marked("InputSlot", context)))
        o.tray = tray;
    if (const MediaType *type = find_media_type(marked("MediaType", context)))
        o.media_type = type;
    if (const char *res = marked("Resolution", context)) {
        const int dpi = std::atoi(res);
        if (dpi == 300 || dpi == 600 || dpi == 1200)
            o.resolution = dpi;
    }
    const char *handling = cupsGetOption("multiple-document-handling", num_options, options);
    o.collate = is_true(cupsGetOption("Collate", num_options, options)) ||
                is_true(marked("Collate", context)) ||
                (handling && !std::strcmp(handling, "separate-documents-collated-copies"));
    if (const char *ranges = cupsGetOption("page-ranges", num_options, options))
        o.page_ranges = ranges;
    return o;
}

PageLayout page_layout(const cups_page_header2_t &page) {
    PageLayout l;
    float width = page_width_pt(page), height = page_height_pt(page);
    const Paper *paper = page_paper(page);
    if (paper && paper->media_size_code >= 0 && paper->code_known_everywhere) {
        l.media_size_name = paper->name;
        l.media_size_code = paper->media_size_code;
    } else {
        l.media_size_name = "CUSTOM";
        l.media_size_code = -1;
    }
    const MediaType *type = find_media_type(page.MediaType);
    l.pclxl_media_type = type ? type->pclxl_name : page.MediaType[0] ? page.MediaType : "Plain";
    l.duplex = pclxl_host::duplex_mode(page_sides(page));

    // The raster holds the imageable area; its top left corner lies at the
    // bounding box's left edge and (page height - top edge) from the top.
    float left, top;
    const float *bbox = page.cupsImagingBBox;
    if (bbox[2] > bbox[0] && bbox[3] > bbox[1]) {
        left = bbox[0];
        top = height - bbox[3];
    } else if (page.ImagingBoundingBox[2] > page.ImagingBoundingBox[0] &&
               page.ImagingBoundingBox[3] > page.ImagingBoundingBox[1]) {
        left = static_cast<float>(page.ImagingBoundingBox[0]);
        top = height - static_cast<float>(page.ImagingBoundingBox[3]);
    } else {
        // Only margins: the raster sits on the bottom margin.
        left = static_cast<float>(page.Margins[0]);
        top = height - static_cast<float>(page.Margins[1]) -
              (page.HWResolution[1] ? page.cupsHeight * 72.0f / page.HWResolution[1] : 0);
    }
    l.origin_x = to_pixels(left, page.HWResolution[0]);
    l.origin_y = to_pixels(top, page.HWResolution[1]);

    // The custom size is given at 600 dpi without the two margins, which the
    // library adds back.
    l.custom_width = static_cast<float>(to_pixels(width, 600)) - 2.0f * l.origin_x;
    l.custom_height = static_cast<float>(to_pixels(height, 600)) - 2.0f * l.origin_y;
    return l;
}

void apply_model_quirks(pclxl_host::Job &job) {
    if (job.make_and_model.empty())
        if (const char *path = std::getenv("PPD"))
            if (ppd_file_t *ppd = ppdOpenFile(path)) {
                if (ppd->nickname)
                    job.make_and_model = ppd->nickname;
                ppdClose(ppd);
            }
    const pclxl_host::Quirks quirks =
        pclxl_host::quirks_for(pclxl_host::load_quirks(), job.make_and_model);
    pclxl_host::apply_quirks(quirks, job);
    std::fprintf(stderr, "DEBUG: Quirks for \"%s\": %s\n",
                 pclxl_host::one_line(job.make_and_model, 200).c_str(),
                 pclxl_host::one_line(quirks.describe(), 400).c_str());
}

} // namespace rastertopclxl
