#include "settings.h"

#include <cmath>
#include <cstring>
#include <strings.h>

namespace rastertopclxl {

using pclxl_media::find_media_type;
using pclxl_media::find_tray;
using pclxl_media::Tray;

namespace {

float page_width_pt(const cups_page_header2_t &h) {
    return h.cupsPageSize[0] > 0 ? h.cupsPageSize[0] : static_cast<float>(h.PageSize[0]);
}
float page_height_pt(const cups_page_header2_t &h) {
    return h.cupsPageSize[1] > 0 ? h.cupsPageSize[1] : static_cast<float>(h.PageSize[1]);
}

bool is_true(const char *value) {
    return value && (!strcasecmp(value, "true") || !strcasecmp(value, "on") ||
                     !strcasecmp(value, "yes") || !std::strcmp(value, "1"));
}

// Device pixels from points, rounded to the nearest pixel.
unsigned to_pixels(float points, unsigned resolution) {
    if (!(points > 0))
        return 0;
    double px = std::floor(points * resolution / 72.0 + 0.5);
    return px > 65535 ? 65535 : static_cast<unsigned>(px);
}

} // namespace

const Paper *find_paper(const char *page_size_name, float width_pt, float height_pt) {
    if (page_size_name && *page_size_name) {
        for (size_t i = 0; i < kPaperCount; i++)
            if (!std::strcmp(kPapers[i].ppd_name, page_size_name) ||
                !std::strcmp(kPapers[i].name, page_size_name))
                return &kPapers[i];
    }
    for (size_t i = 0; i < kPaperCount; i++)
        if (std::fabs(kPapers[i].width_pt - width_pt) <= 1.5f &&
            std::fabs(kPapers[i].height_pt - height_pt) <= 1.5f)
            return &kPapers[i];
    return nullptr;
}

const char *duplex_mode(const cups_page_header2_t &page) {
    if (!page.Duplex)
        return "simplex";
    return page.Tumble ? "duplex_short_edge" : "duplex_long_edge";
}

JobSettings job_settings(const cups_page_header2_t &first, int num_options,
                         cups_option_t *options) {
    JobSettings s;
    const Paper *paper =
        find_paper(first.cupsPageSizeName, page_width_pt(first), page_height_pt(first));
    s.paper = paper ? paper->name : "CUSTOM";

    // The raster header carries the media type that the PPD choice set;
    // an unknown text still reaches the printer (the library keeps only
    // safe characters of it).
    if (first.MediaType[0])
        s.media_type = find_media_type(first.MediaType) ? find_media_type(first.MediaType)->name
                                                        : first.MediaType;
    else if (find_media_type(cupsGetOption("MediaType", num_options, options)))
        s.media_type = find_media_type(cupsGetOption("MediaType", num_options, options))->name;
    else
        s.media_type = "";

    // InputSlot by name wins; else the MediaPosition that the PPD's
    // InputSlot choice put into the raster.
    const Tray *tray = find_tray(cupsGetOption("InputSlot", num_options, options));
    if (!tray)
        tray = first.MediaPosition < kTrayCount ? &kTrays[first.MediaPosition] : &kTrays[0];
    s.tray = tray->name;

    switch (first.cupsColorSpace) {
    case CUPS_CSPACE_RGB:
    case CUPS_CSPACE_SRGB:
    case CUPS_CSPACE_ADOBERGB: s.color_mode = "color"; break;
    default: s.color_mode = "gray"; break;
    }
    s.duplex = duplex_mode(first);
    // PageCopies is 16 bits; the job header says the same.
    s.copies = first.NumCopies == 0 ? 1 : first.NumCopies > 65535 ? 65535 : first.NumCopies;

    // The raster header's Collate is not reliable: the job's options are.
    const char *handling = cupsGetOption("multiple-document-handling", num_options, options);
    s.collate = is_true(cupsGetOption("Collate", num_options, options)) ||
                (handling && !std::strcmp(handling, "separate-documents-collated-copies"));
    return s;
}

PageLayout page_layout(const cups_page_header2_t &page) {
    PageLayout l;
    float width = page_width_pt(page), height = page_height_pt(page);
    const Paper *paper = find_paper(page.cupsPageSizeName, width, height);
    if (paper && paper->media_size_code >= 0 && paper->code_known_everywhere) {
        l.media_size_name = paper->name;
        l.media_size_code = paper->media_size_code;
    } else {
        l.media_size_name = "CUSTOM";
        l.media_size_code = -1;
    }
    const MediaType *type = find_media_type(page.MediaType);
    l.pclxl_media_type = type ? type->pclxl_name : page.MediaType[0] ? page.MediaType : "Plain";
    l.duplex = duplex_mode(page);

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

} // namespace rastertopclxl
