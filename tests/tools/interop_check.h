// What interpreters need beyond a well-formed stream: paths and text painted
// under a pattern-copy ROP, images under source copy, full palettes for
// indexed images, fonts defined once at the session's resolution, one
// x-spacing entry per character, no page scale and no custom media size.
#ifndef PCLXL_TESTS_INTEROP_CHECK_H
#define PCLXL_TESTS_INTEROP_CHECK_H

#include <gtest/gtest.h>
#include <set>
#include <string>

#include "tool_run.h"

namespace tool_test {

inline void expect_interop(const Job &job) {
    namespace rd = pclxl_reader;
    int rop = 204;
    double units = 0; // the session's resolution
    std::set<std::string> font_names;
    for (const rd::Command &c : job.commands) {
        const std::string name = rd::operator_name(c.op);
        const std::string at = name + " at offset " + std::to_string(c.offset);
        const rd::Value *text = c.find(rd::attr::TextData),
                        *spacing = c.find(rd::attr::XSpacingData);
        if (name == "BeginSession") {
            units = c.find(rd::attr::UnitsPerMeasure)->number(0);
        } else if (name == "SetROP") {
            rop = static_cast<int>(c.find(rd::attr::ROP3)->number());
        } else if (name == "PaintPath" || name == "Text") {
            EXPECT_TRUE(rop == 240 || rop == 252) << at << " under ROP3 " << rop;
            EXPECT_TRUE(name == "PaintPath" || (text && spacing && text->count == spacing->count))
                << at;
        } else if (name == "BeginImage") {
            EXPECT_EQ(rop, 204) << at;
        } else if (name == "BeginPage") {
            EXPECT_EQ(c.find(rd::attr::CustomMediaSize), nullptr) << at;
        } else if (name == "BeginFontHeader") {
            EXPECT_TRUE(font_names.insert(c.find(rd::attr::FontName)->bytes()).second) << at;
        }
        EXPECT_NE(name, "SetPageScale") << at;
    }
    for (const rd::ImageInfo &img : job.summary.images) {
        if (img.color_mapping == rd::enums::eIndexedPixel) {
            EXPECT_EQ(img.palette.size(), static_cast<size_t>(img.palette_components << img.depth))
                << "image " << img.number;
        }
    }
    for (const rd::FontInfo &font : job.summary.fonts)
        EXPECT_TRUE(font.x_resolution == units && font.y_resolution == units) << font.name;
}

} // namespace tool_test

#endif
