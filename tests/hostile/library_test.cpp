// The library and the reader against hostile input: a job cut short or
// corrupted at every offset (rejected with a message at an offset inside
// the input; the sanitizer builds catch reads past the end), image sizes
// and strides the stream cannot carry (refused with one line, nothing
// written, the host's memory never read past the pixels) next to the
// largest it can, and page and font names with line ends, NULs, quotes,
// escape sequences or thousands of bytes, which travel whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "job_builder.h"

using pclxl_test::Bytes;

namespace {

struct Image {
    int32_t width, height, stride, bpp;
    bool fits;
};

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

// Refused images write nothing (the job is as if the call had not been
// made), and are reported in one line.
TEST(HostileImages, OnlyImagesTheStreamCanCarryAreWritten) {
    const Image cases[] = {
        {4, 1, 4, -8, false},         {4, 1, 4, 33, false},
        {4, 1, 4, INT32_MAX, false},  {4, INT32_MAX, 4, 8, false},
        {-1, 1, 4, 8, false},         {INT32_MIN, 1, 4, 8, false},
        {INT32_MAX, 1, 4, 24, false}, {INT32_MAX, 1, 4, 32, false},
        {1, 1, INT32_MIN, 1, false},  {1, 1, 32768, 1, false},
        {10923, 1, 0, 32, false},     {INT32_MAX, 1, INT32_MAX, 1, false},
        {32767, 3, 32767, 8, true},   // every row a block of its own
        {10922, 2, 32766, 24, true},  // the widest colour rows
        {10922, 2, -43688, 32, true}, // bottom-up, 4 bytes a pixel
        {8, 65535, 1, 1, true},       // the most rows
        {65535, 2, 8192, 1, true},    // the widest 1-bit rows
    };
    for (const Image &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << ", stride " << c.stride
                                          << ", " << c.bpp << " bpp");
        // Refused images get 4 bytes, read past their end only by a fault.
        const size_t step = c.fits ? static_cast<size_t>(std::abs(c.stride)) : 0;
        std::vector<unsigned char> pixels(c.fits ? step * static_cast<size_t>(c.height) : 4);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<unsigned char>(i * 31 + i / 977);
        unsigned char *first = c.fits && c.stride < 0 ? &pixels[step * (c.height - 1)] : &pixels[0];
        int result = -1;
        std::string err;
        auto job = [&](bool draw) {
            return hostile::build_job([&] {
                if (c.bpp == 1)
                    pclxl_set_color_space_with_palette(1, 0xFFFFFF, 0);
                else
                    pclxl_set_color_space(c.bpp == 8 ? 1 : 2);
                err = pclxl_test::capture_stderr([&] {
                    if (draw)
                        result = pclxl_write_bitmap_data(c.bpp == 1 ? 1 : 0, first, c.width,
                                                         c.height, c.stride, c.bpp, 0, 0, 100, 100);
                });
            });
        };
        const Bytes written = job(true);
        EXPECT_EQ(result, c.fits ? 1 : 0);
        if (c.fits) {
            const dump_test::Result v = hostile::read(written);
            EXPECT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(err.rfind("pclxl_write_bitmap_data(): ", 0), 0u) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_TRUE(written == job(false));
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
