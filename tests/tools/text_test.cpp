// pclxl text: glyph downloads, text runs and layout.
#include <gtest/gtest.h>
#include <map>
#include <set>

#include "glyphs.h"
#include "tool_run.h"

using namespace tool_test;
namespace rd = pclxl_reader;

namespace {

// The printed lines of each page, as their character codes.
std::vector<std::vector<std::vector<uint16_t>>> printed_pages(const Job &job) {
    std::vector<std::vector<std::vector<uint16_t>>> pages;
    for (const rd::Command &c : job.commands) {
        const std::string op = rd::operator_name(c.op);
        if (op == "BeginPage")
            pages.emplace_back();
        else if (op == "Text")
            pages.back().emplace_back(c.find(rd::attr::TextData)->elements.begin(),
                                      c.find(rd::attr::TextData)->elements.end());
    }
    return pages;
}

Job print(const TempDir &dir, const std::string &text, std::vector<std::string> options = {}) {
    write_file(dir / "in.txt", text);
    std::vector<std::string> args = {"text", "in.txt", "-o", "job.pxl"};
    args.insert(args.end(), options.begin(), options.end());
    const Outcome r = run(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    Job job = read_job(dir / "job.pxl");
    EXPECT_TRUE(job.ok) << job.error.offset << ": " << job.error.message;
    return job;
}

} // namespace

TEST(Utf8, InvalidSequencesBecomeReplacementCharacters) {
    const std::pair<std::string, std::u32string> kCases[] = {
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", U"é€\U0001F600"},
        {"a\xFFz", U"a\uFFFDz"},
        {"\xE2\x82z", U"\uFFFDz"},                         // truncated: one replacement
        {"\xC0\xAF", U"\uFFFD\uFFFD"},                     // overlong
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},           // surrogate
        {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xE2\x82", U"\uFFFD"},                           // cut at the end
    };
    for (const auto &c : kCases)
        EXPECT_EQ(pclxl_tool::decode_utf8(c.first), c.second) << ::testing::PrintToString(c.first);
}

TEST(Text, DownloadsExactlyTheGlyphsUsedAndTheRunsSpellTheInput) {
    TempDir dir;
    const std::string input = "Hello\tworld\n\xC3\x9Cn\xC3\xAF \xE2\x82\xAC 5\xC2\xB1"
                              "1\n"
                              "\xFF bad\r\n\fsecond page \xC3\x9C\n";
    const Job job = print(dir, input);
    ASSERT_EQ(job.summary.pages.size(), 2u);

    std::multiset<uint16_t> downloaded;
    for (const auto *c : job.ops("ReadChar"))
        downloaded.insert(static_cast<uint16_t>(c->find(rd::attr::CharCode)->number()));
    std::set<uint16_t> used;
    for (const auto *t : job.ops("Text"))
        for (double code : t->find(rd::attr::TextData)->elements)
            used.insert(static_cast<uint16_t>(code));
    EXPECT_EQ(std::set<uint16_t>(downloaded.begin(), downloaded.end()), used);
    EXPECT_EQ(downloaded.size(), used.size()) << "a glyph was downloaded twice";
    EXPECT_EQ(job.ops("BeginFontHeader").size(), 1u);

    // Each character prints as a code of its own, the same one every time.
    const std::vector<std::vector<std::u32string>> expected = {
        {U"Hello   world", U"Ünï € 5±1", U"\uFFFD bad"}, {U"second page Ü"}};
    const auto pages = printed_pages(job);
    ASSERT_EQ(pages.size(), expected.size());
    std::map<uint16_t, char32_t> chars;
    std::map<char32_t, uint16_t> codes;
    for (size_t p = 0; p < pages.size(); ++p) {
        ASSERT_EQ(pages[p].size(), expected[p].size()) << "page " << p + 1;
        for (size_t l = 0; l < pages[p].size(); ++l) {
            ASSERT_EQ(pages[p][l].size(), expected[p][l].size()) << "line " << l + 1;
            for (size_t k = 0; k < pages[p][l].size(); ++k) {
                const uint16_t code = pages[p][l][k];
                const char32_t c = expected[p][l][k];
                EXPECT_TRUE(c >= 0x7F || code == c) << "ASCII keeps its code";
                EXPECT_EQ(chars.emplace(code, c).first->second, c) << "code " << code;
                EXPECT_EQ(codes.emplace(c, code).first->second, code) << "character " << c;
            }
        }
    }
}

TEST(Text, LongLinesWrapAtBlanksWithinTheMargins) {
    TempDir dir;
    std::string line;
    for (int k = 0; k < 60; ++k)
        line += (k ? " word" : "word") + std::to_string(10 + k);
    const Job job = print(dir, line + "\n");
    const auto runs = job.ops("Text");
    ASSERT_GT(runs.size(), 3u);
    const auto cursors = job.ops("SetCursor");
    ASSERT_EQ(cursors.size(), runs.size());
    std::string joined;
    // A4's printable area is 4768 pixels wide; the margins are half an inch.
    for (size_t k = 0; k < runs.size(); ++k) {
        const rd::Value *spacing = runs[k]->find(rd::attr::XSpacingData);
        double right = cursors[k]->find(rd::attr::Point)->number(0);
        EXPECT_EQ(right, 300);
        for (double s : spacing->elements)
            right += s;
        EXPECT_LE(right, 4768 - 300);
        std::string text;
        for (double code : runs[k]->find(rd::attr::TextData)->elements)
            text += static_cast<char>(code);
        joined += (k ? " " : "") + text;
    }
    EXPECT_EQ(joined, line);
}

TEST(Text, FormFeedsAndFullPagesStartNewPages) {
    pclxl_tool::GlyphFont font;
    std::string note, error;
    const bool found = font.open("DejaVu Sans Mono", 10, 600, note, error);
    pclxl_tool::release_font_lookup();
    ASSERT_TRUE(found) << error;
    const int per_page = (6816 - 600) / font.line_height();

    struct Case {
        std::string text;
        size_t pages;
    };
    std::string many;
    for (int k = 0; k < 2 * per_page + 1; ++k)
        many += "line\n";
    const Case kCases[] = {
        {"", 1}, {"a\n", 1}, {"a\f", 1}, {"a\fb", 2}, {"a\f\fb", 3}, {many, 3},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(::testing::PrintToString(c.text.substr(0, 10)));
        TempDir dir;
        EXPECT_EQ(print(dir, c.text).summary.pages.size(), c.pages);
    }
}

TEST(Text, FontSizeScalesGlyphsAndAMissingFamilyIsANote) {
    TempDir dir;
    auto height_of_H = [&](const std::vector<std::string> &options) {
        const Job job = print(dir, "H\n", options);
        const auto chars = job.ops("ReadChar");
        EXPECT_EQ(chars.size(), 1u);
        // The character header's height, big-endian, ends the 10-byte header.
        const uint64_t at = chars.at(0)->data_offset;
        return (static_cast<uint8_t>(job.bytes[at + 8]) << 8) |
               static_cast<uint8_t>(job.bytes[at + 9]);
    };
    EXPECT_NEAR(height_of_H({"--font-size", "20"}), 2 * height_of_H({}), 3);
    const Outcome missing = run(dir, {"text", "in.txt", "--font", "No Such Family", "-o", "x.pxl"});
    EXPECT_EQ(missing.status, 0);
    EXPECT_NE(missing.err.find("No Such Family"), std::string::npos);
}
