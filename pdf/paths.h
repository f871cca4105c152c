// Strokes and paths in the printer's terms.
#ifndef PCLXL_PDF_PATHS_H
#define PCLXL_PDF_PATHS_H

#include <vector>

namespace pclxl::pdf {

// A dash pattern in whole device pixels with the phase folded in (the
// pattern starts where the phase says), as the printer takes it: an even
// number of at most `max_entries` lengths (a longer pattern is cut after
// them). Empty (solid) when there is nothing to dash.
std::vector<short> dash_pattern(const std::vector<double> &dashes, double phase,
                                int max_entries = 20);

} // namespace pclxl::pdf

#endif
