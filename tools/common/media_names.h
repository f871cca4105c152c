// Paper, media type and tray names as the host gives them, with what each
// becomes in the job: shared by the pclxl tool and the CUPS filter, so the
// two always offer the same choices.
#ifndef PCLXL_MEDIA_NAMES_H
#define PCLXL_MEDIA_NAMES_H

#include <cstddef>

namespace pclxl_media {

// One paper: the PPD keyword, the library's paper name, the true size in
// points, and the PCL XL MediaSize code (-1: none).
struct Paper {
    const char *ppd_name;
    const char *name;
    int width_pt;
    int height_pt;
    int media_size_code;
    // The filter sends the code only for sizes that every PCL XL printer
    // knows; the others go as custom sizes, which carry the exact
    // dimensions instead of a name the printer might not have.
    bool code_known_everywhere;
    // The whole sheet in pixels at 600 dpi, for the papers the pclxl tool
    // lays out (0 for the others). The library gives the printable area;
    // the sheet size only centres it.
    int sheet_width;
    int sheet_height;
};

// One media type: the library's (and the PPD's) keyword and the PCL XL
// MediaType text of the page.
struct MediaType {
    const char *name;
    const char *pclxl_name;
};

// One tray: the library's name and the PCL XL MediaSource enumeration of
// the page.
struct Tray {
    const char *name;
    int media_source;
};

extern const Paper kPapers[];
extern const size_t kPaperCount;
extern const MediaType kMediaTypes[];
extern const size_t kMediaTypeCount;
// Trays by their MediaPosition in the PPD: kTrays[position].
extern const Tray kTrays[];
extern const size_t kTrayCount;

// Lookups by exact name; null for an unknown or null name.
const MediaType *find_media_type(const char *name);
const Tray *find_tray(const char *name);

} // namespace pclxl_media

#endif
