// Page placement: the transform from a page's points to the sheet's device
// pixels.
#ifndef PCLXL_PDF_LAYOUT_H
#define PCLXL_PDF_LAYOUT_H

#include <string>
#include <utility>
#include <vector>

#include "media_names.h"
#include "page_source.h"

namespace pclxl::pdf {

struct Placement {
    Matrix ctm; // page points (origin at the page's top-left) to device pixels
    Rect sheet; // the sheet in device pixels, as the page's frame sees it
    // A page whose orientation differs from the sheet's is drawn in a frame
    // turned a quarter: origin at the sheet's top-right corner
    // (`frame_origin_x`, 0), page rotation 270, so that its text still runs
    // along x.
    bool rotated = false;
    int frame_origin_x = 0;
};

// Puts a page of `width` x `height` points on `paper` at `resolution`
// pixels per inch: in the turned frame when its orientation differs from
// the sheet's, scaled to fit when `fit` (else at its own size), centred.
Placement place_page(double width, double height, const pclxl_media::Paper &paper, int resolution,
                     bool fit);

} // namespace pclxl::pdf

#endif
