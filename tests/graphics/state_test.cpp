// Graphics state, colour and clipping: the pieces of each operation.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "capture.h"

using namespace pclxl_test;

namespace {

struct Case {
    const char *name;
    std::function<void()> call;
    std::vector<std::string> pieces;
};

TEST(GraphicsState, CommandsAsPieces) {
    const Case cases[] = {
        {"rop", [] { pclxl_set_rop3(252); }, {"C0 FC F8 2C", "7B"}},
        {"rgb colour", [] { pclxl_addRGBColor(0xFF8000); }, {"C8 C1 03 00 FF 80 00 F8 0B"}},
        {"rgb ignores top byte",
         [] { pclxl_addRGBColor(static_cast<int>(0xAB123456)); },
         {"C8 C1 03 00 12 34 56 F8 0B"}},
        {"gray", [] { pclxl_addGrayAttr(0x80); }, {"C0 80 F8 09"}},
        {"pen source", [] { pclxl_set_pen_source(); }, {"79"}},
        {"brush source", [] { pclxl_set_brush_source(); }, {"63"}},
        {"solid line", [] { pclxl_set_solid_line(); }, {"C0 00 F8 4E", "70"}},
        {"clip to page", [] { pclxl_set_clip_to_page(); }, {"69"}},
        {"null pen", [] { pclxl_set_pen_source_null(); }, {"C0 00 F8 05", "79"}},
        {"null brush", [] { pclxl_set_brush_source_null(); }, {"C0 00 F8 04", "63"}},
        {"fill mode", [] { pclxl_set_fill_mode(1); }, {"C0 01 F8 46", "6E"}},
        {"pen width cut to a byte", [] { pclxl_set_pen_width(300); }, {"C0 2C F8 4B", "7A"}},
        {"line cap", [] { pclxl_set_line_cap_style(2); }, {"C0 02 F8 47", "71"}},
        {"line join", [] { pclxl_set_line_join_style(3); }, {"C0 03 F8 48", "72"}},
        {"miter limit", [] { pclxl_set_miter_limit(-2); }, {"C3 FE FF F8 49", "73"}},
        {"clip replace", [] { pclxl_set_clip_replace(1); }, {"C0 01 F8 53", "62"}},
        {"clip intersect", [] { pclxl_set_clip_intersect(0x100); }, {"C0 00 F8 53", "67"}},
        {"clip mode", [] { pclxl_set_clip_mode(1); }, {"C0 01 F8 54", "7F"}},
        {"colour space", [] { pclxl_set_color_space(2); }, {"C0 02 F8 03", "6A"}},
        {"clip rectangle",
         [] {
             _rect16 r = {10, 20, 300, 400};
             _pclxl_set_clipRectangle16(&r);
         },
         {"E3 0A 00 14 00 2C 01 90 01 F8 42", "C0 00 F8 53", "68"}},
        {"dash pattern",
         [] {
             const short dashes[] = {4, 2};
             pclxl_set_line_dash(dashes, 2);
         },
         {"CB C1 02 00", "04 00 02 00", "F8 4A", "70"}},
        {"gray weights",
         [] { pclxl_set_color_space_with_palette(1, 0xFF0000, 0x00FF00); },
         {"C0 01 F8 03", "C0 02 F8 02", "C8 C1 02 00 4C 96 F8 06", "6A"}},
        {"gray of blue and mid gray",
         [] { pclxl_set_color_space_with_palette(1, 0x0000FF, 0x808080); },
         {"C0 01 F8 03", "C0 02 F8 02", "C8 C1 02 00 1C 80 F8 06", "6A"}},
        {"gray ignores top byte",
         [] { pclxl_set_color_space_with_palette(1, static_cast<int>(0xFF00FF00), 0); },
         {"C0 01 F8 03", "C0 02 F8 02", "C8 C1 02 00 96 00 F8 06", "6A"}},
        {"rgb",
         [] { pclxl_set_color_space_with_palette(2, 0x123456, 0xABCDEF); },
         {"C0 02 F8 03", "C0 02 F8 02", "C8 C1 06 00 12 34 56 AB CD EF F8 06", "6A"}},
        {"space 0 writes nothing", [] { pclxl_set_color_space_with_palette(0, 1, 2); }, {}},
        {"space 258 writes nothing", [] { pclxl_set_color_space_with_palette(258, 1, 2); }, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Capture cap;
        c.call();
        EXPECT_EQ(cap.hex_pieces(), c.pieces);
    }
}

TEST(GraphicsState, EmptyDashPatternLeavesTheDataToTheSink) {
    Capture cap;
    const short dashes[] = {1};
    std::string err = capture_stderr([&] { pclxl_set_line_dash(dashes, 0); });
    EXPECT_EQ(cap.hex_pieces(), (std::vector<std::string>{"CB C1 00 00", "F8 4A", "70"}));
    EXPECT_EQ(err, "_dev_write(): outBufferLen == 0.\n");
}

} // namespace
