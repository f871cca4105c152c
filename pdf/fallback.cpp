// Regions the printer language cannot draw go as an image of their
// rendering.
#include <algorithm>
#include <cmath>

#include "converter.h"

namespace pclxl::pdf {

void Converter::fallback(const Rect &area) {
    const double scale = std::min(1.0, double(opts_.render_dpi) / opts_.resolution);
    Rect r{std::max(area.x0, area_.x0), std::max(area.y0, area_.y0), std::min(area.x1, area_.x1),
           std::min(area.y1, area_.y1)};
    // Whole pixels of the rendering, in device pixels.
    r = {std::floor(r.x0 * scale) / scale, std::floor(r.y0 * scale) / scale,
         std::ceil(r.x1 * scale) / scale, std::ceil(r.y1 * scale) / scale};
    if (r.empty())
        return;
    if (page_fallbacks_ >= kMaxFallbacks)
        throw PageError("too many regions to render");
    Pixels px;
    if (!doc_.render_region(r, scale, px))
        throw ObjectError("a region could not be rendered");
    ++page_fallbacks_;
    ++stats_.fallback_regions;
    place_pixels(px, {r.x1 - r.x0, 0, 0, r.y1 - r.y0, r.x0, r.y0}, false, {});
}

} // namespace pclxl::pdf
