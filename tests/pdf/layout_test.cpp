// Page ranges, the paper chosen for a page and where the page lands on it.
#include <gtest/gtest.h>

#include "layout.h"

namespace pdf = pclxl::pdf;

namespace {

TEST(PageRanges, ParseAsCupsWrites) {
    const struct {
        const char *text;
        bool ok;
        std::vector<int> in, out; // pages selected and not
    } kCases[] = {
        {"", true, {1, 2, 1000}, {}},  {"1-3,7,10-", true, {1, 3, 7, 10, 99999}, {4, 6, 8, 9}},
        {"-2", true, {1, 2}, {3}},     {"5", true, {5}, {4, 6}},
        {"3-1", false, {}, {}},        {"0", false, {}, {}},
        {"1,,2", false, {}, {}},       {"1,", false, {}, {}},
        {"a-b", false, {}, {}},        {"1-2-3", false, {}, {}},
        {"9999999999", false, {}, {}},
    };
    for (const auto &k : kCases) {
        pdf::PageRanges r;
        EXPECT_EQ(pdf::parse_page_ranges(k.text, r), k.ok) << k.text;
        for (int p : k.in)
            EXPECT_TRUE(r.contains(p)) << k.text << " page " << p;
        for (int p : k.out)
            EXPECT_FALSE(r.contains(p)) << k.text << " page " << p;
    }
}

TEST(Paper, NearestKnownPaperInEitherOrientation) {
    const struct {
        double w, h;
        const char *paper;
    } kCases[] = {
        {595, 842, "A4"},     {842, 595, "A4"},  {612, 792, "Letter"},      {609.7, 789, "Letter"},
        {612, 1008, "Legal"}, {842, 1191, "A3"}, {300, 400, "Env_Monarch"}, {2000, 3000, "A3"},
    };
    for (const auto &k : kCases) {
        const pclxl_media::Paper *p = pdf::nearest_paper(k.w, k.h);
        ASSERT_TRUE(p);
        EXPECT_STREQ(p->name, k.paper) << k.w << "x" << k.h;
        EXPECT_TRUE(p->code_known_everywhere);
    }
    EXPECT_STREQ(pdf::find_paper("letter")->name, "Letter");
    EXPECT_STREQ(pdf::find_paper("Tabloid")->name, "11x17");
}

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
        const pdf::Placement p = pdf::place_page(k.w, k.h, *pdf::find_paper("A4"), 600, k.fit);
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
