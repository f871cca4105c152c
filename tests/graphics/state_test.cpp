// Every graphics-state setter, byte for byte (palettes: path_test.cpp): the attribute's type tag
// and value, its id, and the operator, each piece as the printer must get it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "capture.h"

using namespace pclxl_test;

namespace {

TEST(GraphicsState, EachSetterWritesItsAttributeAndOperator) {
    const short dashes[3] = {6, 300, -1};
    const struct {
        const char *name;
        std::function<void()> call;
        std::vector<std::string> pieces;
    } kSetters[] = {
        {"rop", [] { pclxl_set_rop3(0xF0); }, {"C0 F0 F8 2C", "7B"}},
        {"gray", [] { pclxl_addGrayAttr(0x80); }, {"C0 80 F8 09"}},
        {"rgb", [] { pclxl_addRGBColor(0x102030); }, {"C8 C1 03 00 10 20 30 F8 0B"}},
        {"pen source", [] { pclxl_set_pen_source(); }, {"79"}},
        {"brush source", [] { pclxl_set_brush_source(); }, {"63"}},
        {"null pen", [] { pclxl_set_pen_source_null(); }, {"C0 00 F8 05", "79"}},
        {"null brush", [] { pclxl_set_brush_source_null(); }, {"C0 00 F8 04", "63"}},
        {"fill mode", [] { pclxl_set_fill_mode(1); }, {"C0 01 F8 46", "6E"}},
        {"pen width", [] { pclxl_set_pen_width(12); }, {"C0 0C F8 4B", "7A"}},
        {"line cap", [] { pclxl_set_line_cap_style(2); }, {"C0 02 F8 47", "71"}},
        {"line join", [] { pclxl_set_line_join_style(1); }, {"C0 01 F8 48", "72"}},
        {"miter limit", [] { pclxl_set_miter_limit(10); }, {"C3 0A 00 F8 49", "73"}},
        {"dash",
         [&] { pclxl_set_line_dash(dashes, 3); },
         {"CB C1 03 00", "06 00 2C 01 FF FF", "F8 4A", "70"}},
        {"solid line", [] { pclxl_set_solid_line(); }, {"C0 00 F8 4E", "70"}},
        {"clip replace", [] { pclxl_set_clip_replace(1); }, {"C0 01 F8 53", "62"}},
        {"clip intersect", [] { pclxl_set_clip_intersect(0); }, {"C0 00 F8 53", "67"}},
        {"clip to page", [] { pclxl_set_clip_to_page(); }, {"69"}},
        {"clip mode", [] { pclxl_set_clip_mode(1); }, {"C0 01 F8 54", "7F"}},
        {"colour space", [] { pclxl_set_color_space(2); }, {"C0 02 F8 03", "6A"}},
    };
    for (const auto &k : kSetters) {
        Capture cap;
        k.call();
        EXPECT_EQ(cap.hex_pieces(), k.pieces) << k.name;
    }
}

} // namespace
