// pclxl text: glyph downloads, text runs and layout.
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <set>

#include "tool_run.h"

using namespace tool_test;
namespace rd = pclxl_reader;

// The printed text, with lines ended by '\n' and pages by '\f', must be the
// input's: each character printed as a code of its own, the same one every
// time (ASCII as itself), its glyph downloaded once. A blank may become a
// line break, inside the half-inch margins of A4's printable area (4768 x
// 6816 pixels), and a line end a page break, when the page is full.
TEST(Text, PrintsTheInputWithinTheMarginsWithEachGlyphDownloadedOnce) {
    // 85 characters of the default monospaced font just overflow a line.
    std::u32string words = std::u32string(80, U'a') + U" bbbb", lines;
    for (int k = 0; k < 60; ++k)
        words += U" word" + std::u32string(1, U'A' + k % 26);
    for (int k = 0; k < 150; ++k)
        lines += U"line\n";
    const std::pair<std::string, std::u32string> kCases[] = {
        {"Hello\tworld\n\xC3\x9Cn\xC3\xAF \xE2\x82\xAC 5\xC2\xB1"
         "1\n\xFF bad\r\n\fsecond page \xC3\x9C\n\f", // the last form feed adds no page
         U"Hello   world\nÜnï € 5±1\n\uFFFD bad\fsecond page Ü"},
        // Invalid UTF-8: truncated, overlong, a surrogate, above U+10FFFF.
        {"\xE2\x82z \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xE2\x82",
         U"\uFFFDz \uFFFD\uFFFD \uFFFD\uFFFD\uFFFD \uFFFD\uFFFD\uFFFD\uFFFD \uFFFD"},
        {"", U""},
        {"a\f\f\xF0\x9F\x98\x80"
         "b",
         U"a\f\f\U0001F600b"},
        {std::string(words.begin(), words.end()) + "\n", words},
        {std::string(lines.begin(), lines.end()), lines.substr(0, lines.size() - 1)},
    };
    const uint32_t kLineEnd = 0x1000A, kPageEnd = 0x1000C; // beyond any code
    for (const auto &[input, expected] : kCases) {
        SCOPED_TRACE(input.substr(0, 20));
        TempDir dir;
        write_file(dir / "in.txt", input);
        const Job job = make_job(dir, {"text", "in.txt"});
        std::vector<uint32_t> printed;
        std::vector<int> lines_on; // each page's
        std::vector<uint16_t> downloaded;
        std::set<uint16_t> used;
        double line_height = 0, y = 0;
        for (const rd::Command &c : job.commands) {
            const std::string op = rd::operator_name(c.op);
            if (op == "BeginPage") {
                if (!lines_on.empty())
                    printed.push_back(kPageEnd);
                lines_on.push_back(0);
            } else if (op == "ReadChar") {
                downloaded.push_back(uint16_t(c.find(rd::attr::CharCode)->number()));
            } else if (op == "SetCursor") {
                const rd::Value *at = c.find(rd::attr::Point);
                EXPECT_EQ(at->number(0), 300);
                EXPECT_LE(at->number(1), 6816 - 300);
                if (lines_on.back())
                    line_height = at->number(1) - y;
                y = at->number(1);
            } else if (op == "Text") {
                if (lines_on.back()++)
                    printed.push_back(kLineEnd);
                double right = 300;
                for (double width : c.find(rd::attr::XSpacingData)->elements)
                    right += width;
                EXPECT_LE(right, 4768 - 300);
                for (double code : c.find(rd::attr::TextData)->elements) {
                    printed.push_back(uint32_t(code));
                    used.insert(uint16_t(code));
                }
            }
        }
        std::sort(downloaded.begin(), downloaded.end()); // each used glyph once
        EXPECT_EQ(downloaded, std::vector<uint16_t>(used.begin(), used.end()));
        EXPECT_EQ(job.ops("BeginFontHeader").size(), used.empty() ? 0u : 1u);
        ASSERT_EQ(printed.size(), expected.size());
        std::map<uint32_t, char32_t> chars;
        std::map<char32_t, uint32_t> codes;
        size_t page = 0;
        for (size_t k = 0; k < printed.size(); ++k) {
            const uint32_t p = printed[k];
            const char32_t e = expected[k];
            if (p == kPageEnd && e == U'\n') { // the page was full
                EXPECT_GT((lines_on[page] + 1) * line_height, 6816 - 600);
            } else if (p == kLineEnd || p == kPageEnd) {
                EXPECT_TRUE(p == kLineEnd ? e == U'\n' || e == U' ' : e == U'\f') << k;
            } else {
                EXPECT_TRUE(e >= 0x7F || p == e) << "ASCII keeps its code";
                EXPECT_EQ(chars.emplace(p, e).first->second, e) << "code " << p;
                EXPECT_EQ(codes.emplace(e, p).first->second, p) << "character " << e;
            }
            page += p == kPageEnd;
        }
    }
}
