#include "layout.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace pclxl::pdf {

Placement place_page(double width, double height, const pclxl_media::Paper &paper, int resolution,
                     bool fit) {
    Placement p;
    const double px = resolution / 72.0;
    double sheet_w = std::round(paper.width_pt * px), sheet_h = std::round(paper.height_pt * px);
    width = std::max(width, 1.0);
    height = std::max(height, 1.0);
    p.rotated = (width > height) != (paper.width_pt > paper.height_pt);
    if (p.rotated) {
        p.frame_origin_x = static_cast<int>(sheet_w);
        std::swap(sheet_w, sheet_h);
    }
    p.sheet = {0, 0, sheet_w, sheet_h};
    const double scale = fit ? std::min(sheet_w / width, sheet_h / height) : px;
    p.ctm = {scale, 0, 0, scale, (sheet_w - width * scale) / 2, (sheet_h - height * scale) / 2};
    return p;
}

} // namespace pclxl::pdf
