// The front ends' one cleaner of outside text: what ends a line or drives a
// terminal becomes blanks, text is never split inside a UTF-8 sequence, and
// everything else travels unchanged.
#include <gtest/gtest.h>

#include <string>

#include "text_line.h"

namespace {

TEST(TextLine, OutsideTextBecomesOneLine) {
    struct Case {
        std::string in;
        size_t max;
        std::string out;
    };
    const Case kCases[] = {
        {"a\nSTATE: +x\r\nPPD: *X: Y", 100, "a STATE: +x  PPD: *X: Y"},
        {std::string("a\0b", 3), 100, std::string("a b", 3)},
        {"tab\tdel\x7F"
         "esc\x1B[2J",
         100, "tab del esc [2J"},
        {"nel\xC2\x85"
         "csi\xC2\x9B"
         "2J",
         100, "nel  csi  2J"},
        {"ls\xE2\x80\xA8ps\xE2\x80\xA9.", 100, "ls   ps   ."},
        // Kept: Latin-1 letters, other punctuation, bytes that are not UTF-8.
        {"caf\xC3\xA9 \xE2\x80\x94 \xC2\xA0 \xFF\xC2", 100,
         "caf\xC3\xA9 \xE2\x80\x94 \xC2\xA0 \xFF\xC2"},
        // Cut to the limit, never inside a sequence, and marked.
        {"abcdefghij", 10, "abcdefghij"},
        {"abcdefghijk", 10, "abcdefg..."},
        {"abcdef\xC3\xA9xyz", 10, "abcdef..."},
        {"abcde\xE2\x80\x94xyz", 10, "abcde..."},
        {"abcdef", 2, ".."},
        {"ab\ncdef\n", 6, "ab ..."},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(pclxl_host::one_line(c.in, c.max), c.out);
    }
    EXPECT_EQ(pclxl_host::one_line(nullptr), "");
    EXPECT_EQ(pclxl_host::one_line(std::string(5000, 'x')).size(), 1024u);
}

} // namespace
