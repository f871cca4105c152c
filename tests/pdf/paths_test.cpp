// Strokes as the printer takes them.
#include <gtest/gtest.h>

#include "paths.h"

namespace pdf = pclxl::pdf;

namespace {

TEST(Dashes, PhaseFoldedIntoAnEvenPatternOfWholePixels) {
    const struct {
        std::vector<double> dashes;
        double phase;
        std::vector<short> want;
    } kCases[] = {
        {{3}, 0, {3, 3}},                    // odd: repeated
        {{10, 5}, 3, {7, 5, 3, 0}},          // inside the dash
        {{10, 5}, 12, {0, 3, 10, 2}},        // inside the gap
        {{10, 5}, 15, {10, 5}},              // a whole period
        {{10, 5}, -3, {0, 3, 10, 2}},        // negative phase
        {{0, 4}, 0, {0, 4}},                 // dots
        {{0.2, 0.3}, 0, {}},                 // under a pixel: nothing to dash
        {{2.6, 1.4}, 0, {3, 1}},             // rounded
        {std::vector<double>(11, 2), 0, {}}, // 22 lengths: too many
    };
    for (const auto &k : kCases)
        EXPECT_EQ(pdf::dash_pattern(k.dashes, k.phase), k.want)
            << k.dashes.size() << " lengths, phase " << k.phase;
}

} // namespace
