#include "settings.h"

#include <cmath>
#include <cstring>
#include <strings.h>

namespace rastertopclxl {

// PCL XL MediaSize codes are sent only for the sizes that every PCL XL
// printer knows; the others go as custom sizes, which carry the exact
// dimensions instead of a name the printer might not have.
const Paper kPapers[] = {
    {"Letter", "Letter", 612, 792, 0},
    {"Legal", "Legal", 612, 1008, 1},
    {"A4", "A4", 595, 842, 2},
    {"Executive", "Executive", 522, 756, 3},
    {"Tabloid", "11x17", 792, 1224, 4},
    {"A3", "A3", 842, 1191, 5},
    {"Env10", "Env_Com10", 297, 684, 6},
    {"EnvMonarch", "Env_Monarch", 279, 540, 7},
    {"EnvC5", "Env_C5", 459, 649, 8},
    {"EnvDL", "Env_DL", 312, 624, 9},
    {"B4", "JIS_B4", 729, 1032, 10},
    {"B5", "JIS_B5", 516, 729, 11},
    {"A5", "A5", 420, 595, 16},
    {"A6", "A6", 297, 420, -1},
    {"B6", "JIS_B6", 363, 516, -1},
    {"ISOB5", "ISO_B5", 499, 709, -1},
    {"Statement", "Statement", 396, 612, -1},
    {"Folio", "Folio", 612, 936, -1},
    {"Oficio", "Oficio", 612, 972, -1},
    {"A3Wide", "A3Wide", 864, 1296, -1},
    {"SRA3", "SRA3", 907, 1276, -1},
    {"8K", "8K", 765, 1106, -1},
    {"16K", "16K", 553, 765, -1},
    {"Big16K", "BIG 16K", 558, 774, -1},
    {"EnvC6", "Env_C6", 323, 459, -1},
    {"Postcard", "Postcard", 283, 420, -1},
};
const size_t kPaperCount = sizeof kPapers / sizeof kPapers[0];

const MediaType kMediaTypes[] = {
    {"plain", "Plain"},
    {"plain_1", "Plain"},
    {"plain_2", "Mid Weight"},
    {"tough_1", "Heavy"},
    {"tough_1_plus", "Heavy1P"},
    {"tough_2", "Extra Heavy"},
    {"tough_3", "Heavy3"},
    {"labels", "Labels"},
    {"gloss_labels", "Gloss Lab"},
    {"matte_labels", "Matte Lab"},
    {"tissue", "Light"},
    {"recycled_paper", "Recycled"},
    {"envelope", "Envelope"},
    {"cardstock", "Card Stock"},
    {"film", "Transparency"},
};
const size_t kMediaTypeCount = sizeof kMediaTypes / sizeof kMediaTypes[0];

const char *const kTrays[] = {
    "auto",
    "standard_tray",
    "tray_1",
    "tray_2",
    "k_tray_1",
    "k_tray_2",
    "k_tray_3",
    "k_tray_4",
    "mpf_tray",
    "builtin_large_tray",
    "external_large_tray",
};
const size_t kTrayCount = sizeof kTrays / sizeof kTrays[0];

namespace {

float page_width_pt(const cups_page_header2_t &h) {
    return h.cupsPageSize[0] > 0 ? h.cupsPageSize[0] : static_cast<float>(h.PageSize[0]);
}
float page_height_pt(const cups_page_header2_t &h) {
    return h.cupsPageSize[1] > 0 ? h.cupsPageSize[1] : static_cast<float>(h.PageSize[1]);
}

const MediaType *find_media_type(const char *name) {
    if (!name)
        return nullptr;
    for (size_t i = 0; i < kMediaTypeCount; i++)
        if (std::strcmp(kMediaTypes[i].name, name) == 0)
            return &kMediaTypes[i];
    return nullptr;
}

const char *find_tray(const char *name) {
    if (!name)
        return nullptr;
    for (size_t i = 0; i < kTrayCount; i++)
        if (std::strcmp(kTrays[i], name) == 0)
            return kTrays[i];
    return nullptr;
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
                !std::strcmp(kPapers[i].library_name, page_size_name))
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
    s.paper = paper ? paper->library_name : "CUSTOM";

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
    const char *tray = find_tray(cupsGetOption("InputSlot", num_options, options));
    if (!tray)
        tray = first.MediaPosition < kTrayCount ? kTrays[first.MediaPosition] : kTrays[0];
    s.tray = tray;

    switch (first.cupsColorSpace) {
    case CUPS_CSPACE_RGB:
    case CUPS_CSPACE_SRGB:
    case CUPS_CSPACE_ADOBERGB: s.color_mode = "color"; break;
    default: s.color_mode = "gray"; break;
    }
    s.duplex = duplex_mode(first);
    s.copies = first.NumCopies ? first.NumCopies : 1;

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
    if (paper && paper->media_size_code >= 0) {
        l.media_size_name = paper->library_name;
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
