// The output sink: every accepted piece is exactly one callback call with the
// caller's buffer; refused pieces are reported on stderr.
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

class SinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        calls.clear();
        pclxl_init(nullptr, nullptr);
    }
    void TearDown() override { pclxl_init(nullptr, nullptr); }
};

TEST_F(SinkTest, WithoutCallbackWritesAreDroppedSilently) {
    unsigned char b[3] = {1, 2, 3};
    bool result = true;
    EXPECT_EQ(capture_stderr([&] { result = _dev_write(b, 3); }), "");
    EXPECT_FALSE(result);
}

TEST_F(SinkTest, RefusedPiecesAreReportedAndNeverDelivered) {
    pclxl_init(nullptr, record);
    unsigned char b[1] = {0};
    struct Case {
        void *buffer;
        unsigned int length;
        const char *stderr_text;
    } cases[] = {
        {b, 0, "_dev_write(): outBufferLen == 0.\n"},
        {nullptr, 5, "_dev_write(): outBuffer== NULL.\n"},
        {nullptr, 0, "_dev_write(): outBufferLen == 0.\n_dev_write(): outBuffer== NULL.\n"},
    };
    for (const Case &c : cases) {
        bool result = true;
        EXPECT_EQ(capture_stderr([&] { result = _dev_write(c.buffer, c.length); }), c.stderr_text);
        EXPECT_FALSE(result);
    }
    EXPECT_TRUE(calls.empty());
}

// Each piece is one call with the caller's own buffer; installing again
// replaces the callback, and exit or flush leave it installed.
TEST_F(SinkTest, DeliversTheSamePointerLengthAndContext) {
    int ctx = 0;
    pclxl_init(&ctx, other);
    EXPECT_EQ(pclxl_init(&ctx, record), 1);
    EXPECT_EQ(gDataOut, &record);
    EXPECT_EQ(g_data_out_ctx, &ctx);
    pclxl_exit();
    pclxl_flush_prn_file();
    unsigned char b[4] = {9, 8, 7, 6};
    EXPECT_TRUE(_dev_write(b, 4));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].buffer, b);
    EXPECT_EQ(calls[0].length, 4u);
    EXPECT_EQ(calls[0].ctx, &ctx);
}

} // namespace
