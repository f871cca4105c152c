// Clips: each one pushes a graphics state, which its end pops.
#include <string>

#include "converter.h"

namespace pclxl::pdf {

namespace {

constexpr unsigned char kPopGS = 0x60, kPushGS = 0x61;
// Interpreters keep a few hundred graphics states; the page holds one.
constexpr int kMaxClipDepth = 200;

} // namespace

void Converter::push_clip(const Path &path, bool even_odd) {
    if (clip_depth_ >= kMaxClipDepth)
        throw PageError("clips nested more than " + std::to_string(kMaxClipDepth) + " deep");
    _pclxl_set_operator(kPushGS);
    stack_.push_back(gs());
    ++clip_depth_;
    const int mode = even_odd ? 1 : 0;
    if (gs().clip_mode != mode) {
        pclxl_set_clip_mode(mode);
        gs().clip_mode = mode;
    }
    if (emit_path(path, true)) {
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
    _pclxl_set_operator(kPopGS);
    stack_.pop_back();
    --clip_depth_;
}

} // namespace pclxl::pdf
