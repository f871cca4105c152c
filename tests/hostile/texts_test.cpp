// Hostile texts (line ends, NUL, quotes, escape sequences, very long texts)
// as page and font names travel whole in the stream. (The job header's
// texts are the job header tests' part.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job_builder.h"
#include "pclxl.h"

using pclxl_test::Bytes;

namespace {

const std::vector<std::string> kTexts = {
    "A4\r\n@PJL SET COPIES=99", "\"quoted\" \"",
    std::string("a\0b\r\n", 5), // the text ends at the NUL
    "\x1b%-12345X@PJL EOJ",     std::string(5000, 'A'),
    std::string(3000, '"'),     std::string(5000, '\n'),
};

} // namespace

TEST(HostileTexts, PageTextsTravelWhole) {
    for (int arg = 0; arg < 3; ++arg) {
        for (const std::string &text : kTexts) {
            SCOPED_TRACE("argument " + std::to_string(arg) + ": " + text.substr(0, 40));
            const Bytes job = hostile::build_job([&] {
                pclxl_end_page(false, 1); // a second page carries the text
                pclxl_begin_page(0, 0, arg == 0 ? text.c_str() : "simplex",
                                 arg == 1 ? text.c_str() : "A4", arg == 1 ? -1 : 2,
                                 arg == 2 ? text.c_str() : "Plain", 1, 0, 0, 0, 0);
            });
            const hostile::Verdict v = hostile::read(job);
            ASSERT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
            ASSERT_EQ(v.summary.pages.size(), 2u);
            const std::string carried(text.c_str()); // up to a NUL
            if (arg == 2 && !carried.empty()) {
                EXPECT_EQ(v.summary.pages[1].media_type, carried);
            }
            if (arg == 1) {
                EXPECT_NE(std::string(job.begin(), job.end()).find(carried), std::string::npos);
            }
        }
    }
}

TEST(HostileTexts, FontNamesWithLineEndsAndQuotesTravelWhole) {
    const unsigned char glyph[1] = {0x80};
    for (const std::string &name : {std::string(71, 'n'), std::string("a\r\n\"b\"\x1b", 7)}) {
        const Bytes job = hostile::build_job([&] {
            pclxl_set_font_header_for_bitmap(name.c_str(), 112, 600, 600);
            pclxl_set_char_for_bitmap(name.c_str(), 112, 'A', glyph, 1, 0, 0, 1, 1);
            pclxl_set_font_for_bitmap(name.c_str(), 112, 12);
            pclxl_remove_font_for_bitmap(name.c_str(), 112);
        });
        const hostile::Verdict v = hostile::read(job);
        EXPECT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
        ASSERT_EQ(v.summary.fonts.size(), 1u);
        EXPECT_EQ(v.summary.fonts[0].name, "12BM" + name);
    }
}
