// IPP (PWG) media, type and source keywords and what each becomes in the
// job: the library's names from tools/common/media_names.h.
#ifndef PCLXL_APP_PWG_MEDIA_H
#define PCLXL_APP_PWG_MEDIA_H

#include <cstddef>

#include "media_names.h"

namespace pclxl_app {

// The sizes the drivers offer, as PWG self-describing names.
extern const char *const kMediaSizes[];
extern const size_t kMediaSizeCount;

// A PWG media type and the library's media type for it.
struct TypeName {
    const char *pwg;
    const char *library;
};
extern const TypeName kMediaTypes[];
extern const size_t kMediaTypeCount;

// A PWG media source (tray) and the library's tray for it.
struct SourceName {
    const char *pwg;
    const char *library;
};
extern const SourceName kMediaSources[];
extern const size_t kMediaSourceCount;

// The paper of a portrait size given in hundredths of a millimetre (within
// 1.5 points either way), or null.
const pclxl_media::Paper *paper_for_size(int width, int length);
// The library's media type / tray for a PWG keyword; the first row's for
// an unknown or null one.
const pclxl_media::MediaType *media_type_for(const char *pwg);
const pclxl_media::Tray *tray_for(const char *pwg);

} // namespace pclxl_app

#endif
