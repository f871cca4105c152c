// The media catalog for the front ends (the pclxl tool, the CUPS filters,
// the PDF converter, the printer application): the same rows the library
// reads, so every host offers the same choices and sends what the library
// expects. Look rows up through job.h.
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

} // namespace pclxl_media

#endif
