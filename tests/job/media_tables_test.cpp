// Paper pixel sizes: exact, case-sensitive names.
#include <gtest/gtest.h>

#include "capture.h"

namespace {

TEST(MediaTables, PaperPixelsAt600Dpi) {
    struct Case {
        const char *name;
        int32_t width, height;
    } cases[] = {
        {"A4", 4768, 6816}, {"A5_Hor", 3304, 4768}, {"Letter", 4908, 6408},
        {"a4", 0, 0},       {"A4 ", 0, 0},          {"", 0, 0},
        {"Legal", 0, 0}, // a paper without a printable size
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
