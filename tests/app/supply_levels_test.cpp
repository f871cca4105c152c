// Printer MIB supply rows into IPP levels, colours and kinds.
#include <gtest/gtest.h>

#include "supply_levels.h"

namespace {

using pclxl_app::MibSupply;
using pclxl_app::supply_levels;

TEST(SupplyLevels, RowsGiveLevelsColoursAndKinds) {
    const struct {
        const char *name;
        MibSupply row;
        int level;
        const char *description, *color, *kind;
        bool consumed;
    } cases[] = {
        {"a level of its capacity",
         {3, 3, "Black Toner", 2000, 800, "Black"},
         40,
         "Black Toner",
         "black",
         "toner",
         true},
        {"rounded to the nearest",
         {3, 21, "Cyan", 3, 2, "cyan"},
         67,
         "Cyan",
         "cyan",
         "toner",
         true},
        {"empty", {3, 3, "Y", 100, 0, "yellow"}, 0, "Y", "yellow", "toner", true},
        {"some remaining",
         {3, 3, "K", 100, -3, "black"},
         -2,
         "K (level unknown)",
         "black",
         "toner",
         true},
        {"capacity unknown",
         {3, 3, "K", -2, 50, "black"},
         -2,
         "K (level unknown)",
         "black",
         "toner",
         true},
        {"more than the capacity",
         {3, 3, "K", 100, 150, "black"},
         -2,
         "K (level unknown)",
         "black",
         "toner",
         true},
        {"a waste box fills",
         {4, 4, "Waste", 10, 9, "unknown"},
         90,
         "Waste",
         "",
         "waste-toner",
         false},
        {"a drum without a name", {3, 9, "", 100, 85, ""}, 85, "opc", "", "opc", true},
        {"an odd type", {3, 99, "Thing", 100, 5, "other"}, 5, "Thing", "", "other", true},
    };
    for (const auto &c : cases) {
        const auto got = supply_levels({c.row});
        ASSERT_EQ(got.size(), 1u) << c.name;
        EXPECT_EQ(got[0].level, c.level) << c.name;
        EXPECT_EQ(got[0].description, c.description) << c.name;
        EXPECT_EQ(got[0].color, c.color) << c.name;
        EXPECT_EQ(got[0].kind, c.kind) << c.name;
        EXPECT_EQ(got[0].consumed, c.consumed) << c.name;
    }
}

} // namespace
