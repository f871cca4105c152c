// Page selection and placement: which pages print, on which paper, and the
// transform from a page's points to the sheet's device pixels.
#ifndef PCLXL_PDF_LAYOUT_H
#define PCLXL_PDF_LAYOUT_H

#include <string>
#include <utility>
#include <vector>

#include "media_names.h"
#include "page_source.h"

namespace pclxl::pdf {

// Page ranges in CUPS syntax ("1-3,7,10-"; pages count from 1). An empty
// text selects every page. False for anything else.
struct PageRanges {
    std::vector<std::pair<int, int>> ranges; // inclusive; second 0: to the end
    bool all = true;
    bool contains(int page) const;
};
bool parse_page_ranges(const std::string &text, PageRanges &out);

// The paper named `name` (the library's name or the PPD keyword, any
// case); null when unknown.
const pclxl_media::Paper *find_paper(const std::string &name);

// The paper, among those every printer knows, closest to a page of
// `width` x `height` points in either orientation.
const pclxl_media::Paper *nearest_paper(double width, double height);

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
