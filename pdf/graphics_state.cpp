// Graphics state as the printer holds it: each setter sends only a change.
#include <cstdint>

#include "converter.h"

namespace pclxl::pdf {

void Converter::set_rop(int rop) {
    if (gs().rop != rop) {
        pclxl_set_rop3(rop);
        gs().rop = rop;
    }
}

void Converter::set_space(int space) {
    if (gs().space != space) {
        pclxl_set_color_space(space);
        gs().space = space;
        // Pen and brush are sent again in the new space.
        gs().brush.kind = gs().brush.kind == Paint::Color ? Paint::Unknown : gs().brush.kind;
        gs().pen.kind = gs().pen.kind == Paint::Color ? Paint::Unknown : gs().pen.kind;
    }
}

void Converter::set_brush(Paint p) {
    if (gs().brush == p)
        return;
    if (p.kind == Paint::None) {
        pclxl_set_brush_source_null();
    } else if (opts_.color) {
        set_space(kRgb);
        pclxl_addRGBColor(p.color.r << 16 | p.color.g << 8 | p.color.b);
        pclxl_set_brush_source();
    } else {
        set_space(kGray);
        pclxl_addGrayAttr(gray_of(p.color));
        pclxl_set_brush_source();
    }
    gs().brush = p;
}

void Converter::set_pen(Paint p) {
    if (gs().pen == p)
        return;
    if (p.kind == Paint::None) {
        pclxl_set_pen_source_null();
    } else if (opts_.color) {
        set_space(kRgb);
        pclxl_addRGBColor(p.color.r << 16 | p.color.g << 8 | p.color.b);
        pclxl_set_pen_source();
    } else {
        set_space(kGray);
        pclxl_addGrayAttr(gray_of(p.color));
        pclxl_set_pen_source();
    }
    gs().pen = p;
}

void Converter::set_source_tx(int mode) {
    if (gs().source_tx != mode) {
        pclxl_set_source_tx_mode(mode);
        gs().source_tx = mode;
    }
}

void Converter::set_paint_tx(int mode) {
    if (gs().paint_tx != mode) {
        pclxl_set_paint_tx_mode(mode);
        gs().paint_tx = mode;
    }
}

} // namespace pclxl::pdf
