// Where a page lands on its paper.
#include <gtest/gtest.h>

#include "job.h"
#include "layout.h"

namespace pdf = pclxl::pdf;

namespace {

// The page's corners land inside the sheet, centred, turned a quarter for a
// landscape page on portrait paper (where the sheet is 7017 wide).
TEST(Placement, FitsCentresAndTurns) {
    const struct {
        double w, h;
        bool fit, rotated;
        pdf::Point top_left; // where the page's (0, 0) lands, in pixels at 600 dpi
    } kCases[] = {
        {595, 842, true, false, {0, 0}},
        {842, 595, true, true, {0, 0}},
        {500, 400, false, true, {(7017 - 4166.7) / 2, (4958 - 3333.3) / 2}},
        {612, 792, true, false, {0, (7017 - 792 * 4958.0 / 612) / 2}}, // Letter fitted to A4
        {297.5, 421, false, false, {(4958 - 2479.2) / 2, (7017 - 3508.3) / 2}},
    };
    for (const auto &k : kCases) {
        SCOPED_TRACE(::testing::Message() << k.w << "x" << k.h);
        const pdf::Placement p =
            pdf::place_page(k.w, k.h, *pclxl_host::find_paper("A4"), 600, k.fit);
        EXPECT_EQ(p.rotated, k.rotated);
        EXPECT_EQ(p.frame_origin_x, k.rotated ? 4958 : 0);
        const pdf::Point o = p.ctm.apply(0, 0), far = p.ctm.apply(k.w, k.h);
        EXPECT_NEAR(o.x, k.top_left.x, 1.0);
        EXPECT_NEAR(o.y, k.top_left.y, 1.0);
        for (const pdf::Point &q : {o, far}) {
            EXPECT_TRUE(q.x >= -0.5 && q.y >= -0.5) << q.x << "," << q.y;
            EXPECT_TRUE(q.x <= p.sheet.x1 + 0.5 && q.y <= p.sheet.y1 + 0.5) << q.x << "," << q.y;
        }
    }
}

} // namespace
