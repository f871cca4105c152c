// What interpreters need beyond a well-formed stream: pattern copy while
// vector shapes and text are painted with colours, source copy for images,
// palettes of exactly two entries for 1-bit images, bitmap fonts at the
// session's resolution, one x-spacing entry per character, fonts defined
// once, and no page scale.
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
    std::set<std::string> font_names;
    for (const rd::Command &c : job.commands) {
        const std::string name = rd::operator_name(c.op);
        const auto at = [&] { return "at offset " + std::to_string(c.offset); };
        if (name == "SetROP") {
            rop = static_cast<int>(c.find(rd::attr::ROP3)->number());
        } else if (name == "PaintPath" || name == "Text") {
            EXPECT_TRUE(rop == 240 || rop == 252) << name << " under ROP3 " << rop << " " << at();
        } else if (name == "BeginImage") {
            EXPECT_EQ(rop, 204) << at();
        }
        EXPECT_NE(name, "SetPageScale") << at();
        if (name == "Text") {
            const rd::Value *text = c.find(rd::attr::TextData);
            const rd::Value *spacing = c.find(rd::attr::XSpacingData);
            ASSERT_TRUE(text && spacing) << at();
            EXPECT_EQ(text->count, spacing->count) << at();
        }
        if (name == "BeginPage") {
            EXPECT_EQ(c.find(rd::attr::CustomMediaSize), nullptr) << at();
        }
        if (name == "BeginFontHeader") {
            const std::string font = c.find(rd::attr::FontName)->bytes();
            EXPECT_TRUE(font_names.insert(font).second) << font << " defined twice";
        }
    }
    for (const rd::ImageInfo &img : job.images) {
        if (img.color_mapping == rd::enums::eIndexedPixel) {
            EXPECT_EQ(img.palette.size(), static_cast<size_t>(img.palette_components << img.depth))
                << "image " << img.number;
        }
    }
    const uint16_t units = 600;
    for (const rd::FontInfo &font : job.summary.fonts) {
        EXPECT_EQ(font.x_resolution, units) << font.name;
        EXPECT_EQ(font.y_resolution, units) << font.name;
    }
}

} // namespace tool_test

#endif
