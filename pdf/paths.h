// Strokes and paths in the printer's terms.
#ifndef PCLXL_PDF_PATHS_H
#define PCLXL_PDF_PATHS_H

#include <vector>

#include "page_source.h"

namespace pclxl::pdf {

// The path without the line ends that lie within `tolerance` pixels of a
// line drawn past them, measured from the whole pixels the printer gets:
// the rounding to whole pixels moves points as far as that already.
Path without_needless_points(const Path &path, double tolerance);

// A stroke of separate straight lines (hatching, grids) under a clip whose
// bounds grown by more than the pen reaches make `box`: each line is cut
// to the box, and the lines whose ends both lie on its edge become one
// line joined along the edge, where the clip hides what the pen paints.
// False (and `out` unspecified) when the path is not such lines.
bool chain_outside_clip(const Path &path, const Rect &box, Path &out);

// A dash pattern in whole device pixels with the phase folded in (the
// pattern starts where the phase says), as the printer takes it: an even
// number of at most `max_entries` lengths (a longer pattern is cut after
// them). Empty (solid) when there is nothing to dash.
std::vector<short> dash_pattern(const std::vector<double> &dashes, double phase,
                                int max_entries = 20);

} // namespace pclxl::pdf

#endif
