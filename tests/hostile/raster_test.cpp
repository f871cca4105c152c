// The raster filter refuses page headers with impossible sizes: status 1
// after an "ERROR: " line, and nothing or a well-formed job written. (Odd
// settings that need not be refused are the raster fuzz target's part.)
#include <gtest/gtest.h>

#include <cstring>

#include "job_builder.h"
#include "raster_maker.h"

TEST(HostileRaster, ImpossiblePageSizesEndTheJobCleanly) {
    using Header = cups_page_header2_t;
    const Header gray = filter_test::a4_header(8, CUPS_CSPACE_SW);
    const std::string page = filter_test::make_raster(
        {{gray, [](unsigned y, unsigned char *row) { std::memset(row, int(y * 13), 64); }}});
    ASSERT_EQ(filter_test::run_filter(page).status, 0);
    const std::pair<const char *, unsigned Header::*> fields[] = {
        {"cupsWidth", &Header::cupsWidth},
        {"cupsHeight", &Header::cupsHeight},
        {"cupsBytesPerLine", &Header::cupsBytesPerLine},
        {"cupsBitsPerPixel", &Header::cupsBitsPerPixel},
        {"cupsBitsPerColor", &Header::cupsBitsPerColor},
    };
    // Zero, a negative number read as unsigned, the sign bit, past each limit.
    for (const auto &[name, member] : fields) {
        for (unsigned value : {0u, 0xFFFFFFFFu, 0x80000000u, 65536u, 32768u}) {
            SCOPED_TRACE(std::string(name) + " = " + std::to_string(value));
            Header h = gray;
            h.*member = value;
            std::string input = page;
            std::memcpy(&input[4], &h, sizeof h);
            const filter_test::Result r = filter_test::run_filter(input);
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.messages.find("ERROR: "), std::string::npos) << r.messages;
            if (!r.output.empty()) {
                const dump_test::Result v = hostile::read({r.output.begin(), r.output.end()});
                EXPECT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
            }
        }
    }
}
