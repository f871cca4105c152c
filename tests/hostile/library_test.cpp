// The library and the reader against hostile input: a job cut short or
// corrupted at every offset (rejected with a message at an offset inside
// the input; the sanitizer builds catch reads past the end), and page and
// font names with line ends, NULs, quotes, escape sequences or thousands of
// bytes, which travel whole. (Image sizes: tests/raster.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job_builder.h"

using pclxl_test::Bytes;

namespace {

void expect_clean(const Bytes &bytes, const dump_test::Result &v) {
    if (!v.ok) {
        EXPECT_FALSE(v.error.message.empty());
        EXPECT_LE(v.error.offset, bytes.size()) << v.error.message;
    }
}

const std::vector<std::string> kTexts = {
    "A4\r\n@PJL SET COPIES=99", "\"quoted\" \"",
    std::string("a\0b\r\n", 5), // the text ends at the NUL
    "\x1b%-12345X@PJL EOJ",     std::string(5000, 'A'),
    std::string(3000, '"'),     std::string(5000, '\n'),
    std::string(71, 'n'),
};

} // namespace

TEST(HostileStreams, JobCutOrCorruptedAtEveryOffset) {
    const Bytes job = hostile::build_job();
    ASSERT_TRUE(hostile::read(job).ok) << hostile::read(job).error.message;
    for (size_t n = 0; n < job.size(); ++n) {
        const Bytes cut(job.begin(), job.begin() + static_cast<long>(n));
        const dump_test::Result v = hostile::read(cut);
        EXPECT_FALSE(v.ok) << "cut at " << n;
        expect_clean(cut, v);
        for (unsigned char mask : {0xFF, 0x5A, 0x01, 0x80}) {
            Bytes bad = job;
            bad[n] ^= mask;
            expect_clean(bad, hostile::read(bad));
        }
    }
}

// A second page, or a font, carries each text.
TEST(HostileTexts, PageAndFontNamesTravelWhole) {
    const unsigned char glyph[1] = {0x80};
    for (int arg = 0; arg < 4; ++arg) {
        for (const std::string &text : kTexts) {
            if (arg == 3 && text.size() > 71) // the longest font name
                continue;
            SCOPED_TRACE("argument " + std::to_string(arg) + ": " + text.substr(0, 40));
            const char *t = text.c_str();
            const Bytes job = hostile::build_job([&] {
                if (arg == 3) {
                    pclxl_set_font_header_for_bitmap(t, 112, 600, 600);
                    pclxl_set_char_for_bitmap(t, 112, 'A', glyph, 1, 0, 0, 1, 1);
                    pclxl_set_font_for_bitmap(t, 112, 12);
                    pclxl_remove_font_for_bitmap(t, 112);
                    return;
                }
                pclxl_end_page(false, 1);
                pclxl_begin_page(0, 0, arg == 0 ? t : "simplex", arg == 1 ? t : "A4",
                                 arg == 1 ? -1 : 2, arg == 2 ? t : "Plain", 1, 0, 0, 0, 0);
            });
            const dump_test::Result v = hostile::read(job);
            ASSERT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
            const std::string carried(t); // up to a NUL
            EXPECT_EQ(v.summary.pages.size(), arg == 3 ? 1u : 2u);
            if (arg == 1) {
                EXPECT_NE(std::string(job.begin(), job.end()).find(carried), std::string::npos);
            } else if (arg == 2 && !carried.empty()) {
                EXPECT_EQ(v.summary.pages[1].media_type, carried);
            } else if (arg == 3) {
                ASSERT_EQ(v.summary.fonts.size(), 1u);
                EXPECT_EQ(v.summary.fonts[0].name, "12BM" + carried);
            }
        }
    }
}
