// Lookups in the media catalog for the job header and the page, and the
// printable paper sizes at 600 dpi.
#ifndef PCLXL_JOB_MEDIA_TABLES_H
#define PCLXL_JOB_MEDIA_TABLES_H

#include <cstdint>

namespace pclxl {

// The PJL word for a host name (exact, case-sensitive match), or nullptr.
const char *pjl_paper(const char *name);
const char *pjl_media_type(const char *name);
const char *pjl_media_source(const char *name);
// The PCL XL MediaType text for a media type name, or nullptr.
const char *pclxl_media_type(const char *name);

struct paper_size {
    int32_t width;
    int32_t height;
};

// The printable size of a paper at 600 dpi, or nullptr.
const paper_size *lookup_paper_pixels(const char *name);

} // namespace pclxl

#endif
