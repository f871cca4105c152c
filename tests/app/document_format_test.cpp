// Which documents the server refuses as text and which it reads as PDF, by
// their first bytes.
#include <gtest/gtest.h>

#include <string>

#include "document_format.h"

namespace {

struct Sample {
    const char *name;
    std::string bytes;
    bool text;
    bool pdf;
};
void PrintTo(const Sample &s, std::ostream *os) { *os << s.name; }

const Sample kSamples[] = {
    {"ascii", "Hello notes\nline two\r\n\tindented\f", true, false},
    {"utf8", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x96\xa8\n", true, false},
    {"utf8_cut_at_end", "price \xe2\x82", true, false},
    {"empty", "", false, false},
    {"pjl", "\x1b%-12345X@PJL ENTER LANGUAGE=PCLXL\r\n", false, false},
    {"nul", std::string("ab\0cd", 5), false, false},
    {"bare_continuation", "a\x80z", false, false},
    {"overlong", "\xc0\xaf", false, false},
    {"broken_sequence", "\xe2\x28\xa1", false, false},
    {"delete", "a\x7f", false, false},
    {"png", "\x89PNG\r\n\x1a\n", false, false},
    {"pdf", "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n", false, true},
    {"pdf_after_junk", std::string(600, ' ') + "%PDF-1.4", true, true},
    {"pdf_too_far", std::string(1100, ' ') + "%PDF-1.4", true, false},
    {"pdf_word_only", "%PDF", true, false},
};

class DocumentFormat : public testing::TestWithParam<Sample> {};

TEST_P(DocumentFormat, TextAndPdfByContent) {
    const Sample &s = GetParam();
    const auto *data = reinterpret_cast<const unsigned char *>(s.bytes.data());
    EXPECT_EQ(pclxl_app::looks_like_text(data, s.bytes.size()), s.text);
    EXPECT_EQ(pclxl_app::looks_like_pdf(data, s.bytes.size()), s.pdf);
}

INSTANTIATE_TEST_SUITE_P(Samples, DocumentFormat, testing::ValuesIn(kSamples),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
