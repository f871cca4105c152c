// Paper pixel sizes: exact, case-sensitive names.
#include <gtest/gtest.h>

#include "capture.h"

namespace {

TEST(MediaTables, PaperPixelsAt600Dpi) {
    struct Case {
        const char *name;
        int32_t width, height;
    } cases[] = {
        {"A4", 4768, 6816},     {"A3", 6816, 9728},
        {"A5", 3304, 4768},     {"A5_Hor", 3304, 4768},
        {"Letter", 4908, 6408}, {"JIS_B5", 4104, 5878},
        {"ISO_B5", 3964, 5713}, {"a4", 0, 0},
        {"A4 ", 0, 0},          {"", 0, 0},
        {"Legal", 0, 0},
    };
    for (const Case &c : cases) {
        int32_t w = -1, h = -1;
        std::string err =
            pclxl_test::capture_stderr([&] { get_paper_pixel_pclxl(c.name, &w, &h); });
        EXPECT_EQ(w, c.width) << c.name;
        EXPECT_EQ(h, c.height) << c.name;
        EXPECT_EQ(err, "");
    }
}

} // namespace
