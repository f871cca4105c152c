// Clips: each one pushes a graphics state, which its end pops.
#include <string>

#include "converter.h"

namespace pclxl::pdf {

namespace {

// Interpreters keep a few hundred graphics states; the page holds one.
constexpr int kMaxClipDepth = 200;

} // namespace

void Converter::push_clip(const Path &path, bool even_odd) {
    if (clip_depth_ >= kMaxClipDepth)
        throw PageError("clips nested more than " + std::to_string(kMaxClipDepth) + " deep");
    pclxl_push_graphics_state();
    stack_.push_back(gs());
    ++clip_depth_;
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
    if (clip_depth_ == 0)
        return;
    pclxl_pop_graphics_state();
    stack_.pop_back();
    --clip_depth_;
}

} // namespace pclxl::pdf
