#include "media_names.h"

namespace pclxl_media {

const MediaType *find_media_type(const char *name) {
    return pclxl::media::find(pclxl::media::kMediaTypes, name);
}

const Tray *find_tray(const char *name) { return pclxl::media::find(pclxl::media::kTrays, name); }

} // namespace pclxl_media
