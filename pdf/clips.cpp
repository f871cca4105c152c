// Clips: each one pushes a graphics state, which its end pops.
#include <algorithm>
#include <string>

#include "converter.h"

namespace pclxl::pdf {

void Converter::push_clip(const Path &path, bool even_odd) {
    if (survey_)
        return;
    if (clip_depth_ >= kMaxClipDepth)
        throw ObjectError("clips nested more than " + std::to_string(kMaxClipDepth) + " deep");
    pclxl_push_graphics_state();
    stack_.push_back(gs());
    ++clip_depth_;
    // The clip's bounds, for the regions placed inside it.
    Rect box = clip_boxes_.empty() ? area_ : clip_boxes_.back(),
         bounds{1e300, 1e300, -1e300, -1e300};
    for (const PathSegment &s : path.segments) {
        const int points = s.kind == PathSegment::Curve ? 3 : s.kind == PathSegment::Close ? 0 : 1;
        for (int i = 0; i < points; ++i)
            bounds = {std::min(bounds.x0, s.p[i].x), std::min(bounds.y0, s.p[i].y),
                      std::max(bounds.x1, s.p[i].x), std::max(bounds.y1, s.p[i].y)};
    }
    box = {std::max(box.x0, bounds.x0), std::max(box.y0, bounds.y0), std::min(box.x1, bounds.x1),
           std::min(box.y1, bounds.y1)};
    clip_boxes_.push_back(box);
    const int mode = even_odd ? 1 : 0;
    if (gs().clip_mode != mode) {
        pclxl_set_clip_mode(mode);
        gs().clip_mode = mode;
    }
    if (emit_path(path, true, false)) {
        pclxl_set_clip_intersect(0);
    } else {
        // Nothing inside: an empty rectangle clips everything away.
        _point16 r[2] = {{0, 0}, {0, 0}};
        pclxl_add_rect16(r);
        pclxl_set_clip_intersect(0);
    }
}

void Converter::pop_clip() {
    if (survey_ || clip_depth_ == 0)
        return;
    clip_boxes_.pop_back();
    pclxl_pop_graphics_state();
    stack_.pop_back();
    --clip_depth_;
}

} // namespace pclxl::pdf
