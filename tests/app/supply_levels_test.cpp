// Printer MIB supply rows into IPP levels, colours and kinds.
#include <gtest/gtest.h>

#include "supply_levels.h"

namespace {

using pclxl_app::MibSupply;
using pclxl_app::supply_levels;

TEST(SupplyLevels, RowsGiveLevelsColoursAndKinds) {
    // Want: "level|description|colour|kind|consumed (1) or filled (0)".
    const struct {
        const char *name;
        MibSupply row;
        const char *want;
    } cases[] = {
        {"a level of its capacity",
         {3, 3, "Black Toner", 2000, 800, "Black"},
         "40|Black Toner|black|toner|1"},
        {"rounded to the nearest", {3, 21, "Cyan", 3, 2, "cyan"}, "67|Cyan|cyan|toner|1"},
        {"empty", {3, 3, "Y", 100, 0, "yellow"}, "0|Y|yellow|toner|1"},
        {"some remaining", {3, 3, "K", 100, -3, "black"}, "-2|K (level unknown)|black|toner|1"},
        {"capacity unknown", {3, 3, "K", -2, 50, "black"}, "-2|K (level unknown)|black|toner|1"},
        {"more than the capacity",
         {3, 3, "K", 100, 150, "black"},
         "-2|K (level unknown)|black|toner|1"},
        {"a waste box fills", {4, 4, "Waste", 10, 9, "unknown"}, "90|Waste||waste-toner|0"},
        {"a drum without a name", {3, 9, "", 100, 85, ""}, "85|opc||opc|1"},
        {"an odd type", {3, 99, "Thing", 100, 5, "other"}, "5|Thing||other|1"},
    };
    for (const auto &c : cases) {
        const auto got = supply_levels({c.row});
        ASSERT_EQ(got.size(), 1u) << c.name;
        EXPECT_EQ(std::to_string(got[0].level) + "|" + got[0].description + "|" + got[0].color +
                      "|" + got[0].kind + "|" + (got[0].consumed ? "1" : "0"),
                  c.want)
            << c.name;
    }
}

} // namespace
