// The media catalog for the front ends (the pclxl tool, the CUPS filter,
// the printer application): the same rows the library reads, so every host
// offers the same choices and sends what the library expects.
#ifndef PCLXL_HOST_MEDIA_NAMES_H
#define PCLXL_HOST_MEDIA_NAMES_H

#include <cstddef>
#include <iterator>

#include "../src/job/media_catalog.h"

namespace pclxl_media {

using Paper = pclxl::media::Paper;
using MediaType = pclxl::media::MediaType;
using Tray = pclxl::media::Tray;

inline constexpr const auto &kPapers = pclxl::media::kPapers;
inline constexpr size_t kPaperCount = std::size(pclxl::media::kPapers);
inline constexpr const auto &kMediaTypes = pclxl::media::kMediaTypes;
inline constexpr size_t kMediaTypeCount = std::size(pclxl::media::kMediaTypes);
// Trays by their MediaPosition in the PPD: kTrays[position].
inline constexpr const auto &kTrays = pclxl::media::kTrays;
inline constexpr size_t kTrayCount = std::size(pclxl::media::kTrays);

// Lookups by exact name; null for an unknown or null name.
const MediaType *find_media_type(const char *name);
const Tray *find_tray(const char *name);

} // namespace pclxl_media

#endif
