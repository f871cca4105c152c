// Hostile texts (line ends, NUL, quotes, escape sequences, very long texts)
// in the job header, page and font names: the PJL header keeps its lines
// and its size, and page texts and font names travel whole in the stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

size_t count(const std::string &s, char c) { return size_t(std::count(s.begin(), s.end(), c)); }

} // namespace

TEST(HostileTexts, JobHeaderTextsCannotBreakThePjl) {
    const std::array<std::string, 5> plain = {"A4", "plain", "tray_1", "color", "simplex"};
    const auto job_with = [](const std::array<std::string, 5> &t) {
        return hostile::build_job({}, [&] {
            pclxl_start_job_new(t[0].c_str(), t[1].c_str(), t[2].c_str(), t[3].c_str(), true,
                                t[4].c_str(), 2);
        });
    };
    // Any duplex text but a beginning of "simplex" adds the BINDING line.
    auto duplex = plain;
    duplex[4] = "duplex_long_edge";
    const Bytes bases[2] = {job_with(plain), job_with(duplex)};
    const auto header = [](const Bytes &job) {
        const std::string text(job.begin(), job.end());
        return text.substr(0, text.find("ENTER LANGUAGE=PCLXL"));
    };

    for (size_t arg = 0; arg <= plain.size(); ++arg) {
        for (const std::string &text : kTexts) {
            SCOPED_TRACE("argument " + std::to_string(arg) + ": " + text.substr(0, 40));
            auto t = plain;
            if (arg < plain.size())
                t[arg] = text;
            const Bytes job = arg < plain.size() ? job_with(t) : hostile::build_job({}, [&] {
                pclxl_start_job(text.c_str(), 600);
            });
            const hostile::Verdict v = hostile::read(job);
            ASSERT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
            if (arg == plain.size())
                continue;
            const Bytes &base = bases[arg == 4 ? 1 : 0];
            const std::string got = header(job), want = header(base);
            EXPECT_EQ(v.summary.pjl_lines, hostile::read(base).summary.pjl_lines);
            EXPECT_EQ(count(got, '\n'), count(want, '\n'));
            EXPECT_EQ(count(got, '"'), count(want, '"'));
            EXPECT_EQ(count(got, '\x1b'), 1u); // the one UEL
            EXPECT_LE(got.size(), 1024u);
        }
    }
}

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
