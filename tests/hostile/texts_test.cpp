// Hostile texts (CR, LF, NUL, quotes, escape sequences, very long names)
// in every text argument of the job header, the page and the font
// commands: the PJL header keeps its lines and its size, page texts travel
// whole inside the binary stream, and font names the stream cannot carry
// are refused without writing anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "job_builder.h"
#include "pclxl.h"

using pclxl_test::Bytes;

namespace {

const std::vector<std::string> &hostile_texts() {
    static const std::vector<std::string> texts = {
        "A4\r\n@PJL SET COPIES=99",
        "tray\nX",
        "x\rY",
        "\"quoted\" \"",
        std::string("a\0b\r\n", 5), // the text ends at the NUL
        "\x1b%-12345X@PJL EOJ",
        "plain; @PJL ENTER LANGUAGE=POSTSCRIPT",
        std::string(5000, 'A'),
        std::string(3000, '"'),
        [] {
            std::string s;
            for (int i = 0; i < 2500; ++i)
                s += "\r\n";
            return s;
        }(),
    };
    return texts;
}

std::string header_text(const Bytes &job) {
    const std::string text(job.begin(), job.end());
    return text.substr(0, text.find("ENTER LANGUAGE=PCLXL"));
}

} // namespace

TEST(HostileTexts, JobHeaderTextsCannotBreakThePjl) {
    const std::array<std::string, 5> plain = {"A4", "plain", "tray_1", "color", "simplex"};
    const auto job_with = [](const std::array<std::string, 5> &t) {
        return hostile::build_job({}, [&] {
            pclxl_start_job_new(t[0].c_str(), t[1].c_str(), t[2].c_str(), t[3].c_str(), true,
                                t[4].c_str(), 2);
        });
    };
    // Any duplex text other than a beginning of "simplex" adds the BINDING
    // line, so that argument has a duplex job to compare with.
    auto duplex = plain;
    duplex[4] = "duplex_long_edge";
    const Bytes base_jobs[2] = {job_with(plain), job_with(duplex)};

    for (size_t arg = 0; arg <= plain.size(); ++arg) {
        for (const std::string &text : hostile_texts()) {
            SCOPED_TRACE("argument " + std::to_string(arg) + ": " + text.substr(0, 40));
            Bytes job;
            if (arg < plain.size()) {
                auto t = plain;
                t[arg] = text;
                job = job_with(t);
            } else { // the short header's one text
                job = hostile::build_job({}, [&] { pclxl_start_job(text.c_str(), 600); });
            }
            const hostile::Verdict v = hostile::read(job);
            ASSERT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
            if (arg == plain.size())
                continue;
            const Bytes &base_job = base_jobs[arg == 4 ? 1 : 0];
            const hostile::Verdict base = hostile::read(base_job);
            ASSERT_TRUE(base.ok) << base.error.message;
            const std::string header = header_text(job), base_header = header_text(base_job);
            EXPECT_EQ(v.summary.pjl_lines, base.summary.pjl_lines);
            EXPECT_EQ(std::count(header.begin(), header.end(), '\n'),
                      std::count(base_header.begin(), base_header.end(), '\n'));
            EXPECT_EQ(std::count(header.begin(), header.end(), '"'),
                      std::count(base_header.begin(), base_header.end(), '"'));
            EXPECT_EQ(std::count(header.begin(), header.end(), '\x1b'), 1); // the one UEL
            EXPECT_LE(header.size(), 1024u);
        }
    }
}

TEST(HostileTexts, PageTextsTravelWhole) {
    for (int arg = 0; arg < 3; ++arg) {
        for (const std::string &text : hostile_texts()) {
            SCOPED_TRACE("argument " + std::to_string(arg) + ": " + text.substr(0, 40));
            const Bytes job = hostile::build_job([&] {
                // The page of the builder is ended and a second one opened
                // with the hostile text.
                pclxl_end_page(false, 1);
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
                const std::string stream(job.begin(), job.end());
                EXPECT_NE(stream.find(carried), std::string::npos);
            }
        }
    }
}

TEST(HostileTexts, FontNamesBeyondTheLimitAreRefused) {
    // Font 112 gives the name text "12BM" + name: at most 75 bytes.
    const std::string fits(71, 'n');
    const uint16_t code = 'A';
    const unsigned char glyph[1] = {0x80};
    const auto calls = [&](const std::string &name) {
        const char *n = name.c_str();
        return std::vector<std::function<void()>>{
            [=] { pclxl_set_font_header_for_bitmap(n, 112, 600, 600); },
            [=, &glyph] { pclxl_set_char_for_bitmap(n, 112, code, glyph, 1, 0, 0, 1, 1); },
            [=] { pclxl_set_font_for_bitmap(n, 112, 12); },
            [=] { pclxl_remove_font_for_bitmap(n, 112); },
        };
    };
    for (const std::string &name : {fits + "x", std::string(5000, 'n'), std::string(76, '\n')}) {
        const auto list = calls(name);
        for (size_t i = 0; i < list.size(); ++i) {
            SCOPED_TRACE("call " + std::to_string(i) + ", name of " + std::to_string(name.size()) +
                         " bytes");
            pclxl_test::Capture out;
            const std::string err = pclxl_test::capture_stderr(list[i]);
            EXPECT_TRUE(out.pieces().empty());
            EXPECT_NE(err.find("Fatal Error"), std::string::npos) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        }
    }
    // Names with line ends and quotes that fit are written and read back.
    for (const std::string &name : {fits, std::string("a\r\n\"b\"\x1b", 7)}) {
        const Bytes job = hostile::build_job([&] {
            for (const auto &call : calls(name))
                call();
        });
        const hostile::Verdict v = hostile::read(job);
        EXPECT_TRUE(v.ok) << v.error.offset << ": " << v.error.message;
        ASSERT_EQ(v.summary.fonts.size(), 1u);
        EXPECT_EQ(v.summary.fonts[0].name, "12BM" + name);
    }
}
