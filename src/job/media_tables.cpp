// Name lookups in the media catalog, and the printable paper sizes: constant
// arrays built at compile time, so they exist before any call and never
// change. The tables are a few dozen rows, looked up once per job or page.
#include "job/media_tables.h"

#include <cstring>

#include "core.h"
#include "job/media_catalog.h"

namespace pclxl {
namespace {

struct PaperRow {
    const char *name;
    paper_size size;
};

// Printable sizes, somewhat smaller than the sheet. "A5_Hor" is not swapped.
constexpr PaperRow kPaperPixels[] = {
    {"A3", {6816, 9728}},     {"A4", {4768, 6816}},     {"A5", {3304, 4768}},
    {"A5_Hor", {3304, 4768}}, {"ISO_B5", {3964, 5713}}, {"JIS_B5", {4104, 5878}},
    {"Letter", {4908, 6408}},
};

} // namespace

const char *pjl_paper(const char *name) {
    const media::Paper *row = media::find(media::kPapers, name);
    return row ? row->pjl : nullptr;
}

const char *pjl_media_type(const char *name) {
    const media::MediaType *row = media::find(media::kMediaTypes, name);
    return row ? row->pjl : nullptr;
}

const char *pclxl_media_type(const char *name) {
    const media::MediaType *row = media::find(media::kMediaTypes, name);
    return row ? row->pclxl_name : nullptr;
}

const char *pjl_media_source(const char *name) {
    const media::Tray *row = media::find(media::kTrays, name);
    return row ? row->pjl : nullptr;
}

const paper_size *lookup_paper_pixels(const char *name) {
    const PaperRow *row = media::find(kPaperPixels, name);
    return row ? &row->size : nullptr;
}

bool core::paper_pixels(const char *name, int32_t *width, int32_t *height) {
    const paper_size *size = lookup_paper_pixels(name);
    *width = size ? size->width : 0;
    *height = size ? size->height : 0;
    return size != nullptr;
}

} // namespace pclxl
