// pclxl text: glyph downloads, text runs and layout.
#include <gtest/gtest.h>
#include <map>
#include <set>

#include "glyphs.h"
#include "tool_run.h"

using namespace tool_test;
namespace rd = pclxl_reader;

namespace {

// The printed lines of each page, with the codes mapped back to text the
// way the tool assigns them: printable ASCII keeps its code, every other
// character takes the next code from 0x100 in order of first use.
std::vector<std::vector<std::u32string>> printed_pages(const Job &job,
                                                       const std::u32string &input) {
    std::map<uint16_t, char32_t> chars;
    std::set<char32_t> seen;
    uint16_t next = 0x100;
    for (char32_t c : input)
        if (c >= 0x20 && c < 0x7F)
            chars[static_cast<uint16_t>(c)] = c;
        else if (c >= 0xA0 && seen.insert(c).second)
            chars[next++] = c;
    std::vector<std::vector<std::u32string>> pages;
    for (const rd::Command &c : job.commands) {
        const std::string op = rd::operator_name(c.op);
        if (op == "BeginPage")
            pages.emplace_back();
        if (op != "Text")
            continue;
        std::u32string line;
        for (double code : c.find(rd::attr::TextData)->elements)
            line += chars.count(static_cast<uint16_t>(code)) ? chars[static_cast<uint16_t>(code)]
                                                             : U'#';
        pages.back().push_back(line);
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

    const std::u32string decoded = pclxl_tool::decode_utf8(input);
    const std::vector<std::vector<std::u32string>> expected = {
        {U"Hello   world", U"Ünï € 5±1", U"\uFFFD bad"}, {U"second page Ü"}};
    EXPECT_EQ(printed_pages(job, decoded), expected);
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
