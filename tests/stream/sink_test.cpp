// The output sink: every accepted piece is exactly one callback call with the
// caller's buffer; refused pieces are reported on stderr and never delivered.
#include <gtest/gtest.h>

#include "capture.h"

using namespace pclxl_test;

namespace {

struct Call {
    const void *buffer;
    unsigned int length;
    const void *ctx;
};
std::vector<Call> calls;
void record(const void *buffer, unsigned int length, const void *ctx) {
    calls.push_back({buffer, length, ctx});
}
void other(const void *, unsigned int, const void *) {}

TEST(Sink, RefusedPiecesAreReportedAndNeverDelivered) {
    unsigned char b[1] = {0};
    struct Case {
        bool installed;
        void *buffer;
        unsigned int length;
        const char *stderr_text;
    } cases[] = {
        {false, b, 1, ""}, // no callback: dropped silently
        {true, b, 0, "_dev_write(): outBufferLen == 0.\n"},
        {true, nullptr, 5, "_dev_write(): outBuffer== NULL.\n"},
        {true, nullptr, 0, "_dev_write(): outBufferLen == 0.\n_dev_write(): outBuffer== NULL.\n"},
    };
    calls.clear();
    for (const Case &c : cases) {
        pclxl_init(nullptr, c.installed ? record : nullptr);
        bool result = true;
        EXPECT_EQ(capture_stderr([&] { result = _dev_write(c.buffer, c.length); }), c.stderr_text);
        EXPECT_FALSE(result);
    }
    pclxl_init(nullptr, nullptr);
    EXPECT_TRUE(calls.empty());
}

// Each piece is one call with the caller's own buffer; installing again
// replaces the callback, and exit or flush leave it installed.
TEST(Sink, DeliversTheSamePointerLengthAndContext) {
    calls.clear();
    int ctx = 0;
    pclxl_init(&ctx, other);
    EXPECT_EQ(pclxl_init(&ctx, record), 1);
    EXPECT_EQ(gDataOut, &record);
    EXPECT_EQ(g_data_out_ctx, &ctx);
    pclxl_exit();
    pclxl_flush_prn_file();
    unsigned char b[4] = {9, 8, 7, 6};
    EXPECT_TRUE(_dev_write(b, 4));
    pclxl_init(nullptr, nullptr);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].buffer, b);
    EXPECT_EQ(calls[0].length, 4u);
    EXPECT_EQ(calls[0].ctx, &ctx);
}

} // namespace
