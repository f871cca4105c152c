// The reader against streams cut short or corrupted: it rejects every cut
// as an incomplete job and any fault with a message at an offset inside
// the input, and never crashes or reads past the end (the sanitizer builds
// catch that). Garbage is the fuzz targets' part.
#include <gtest/gtest.h>

#include "job_builder.h"

using pclxl_test::Bytes;

namespace {

void expect_clean(const Bytes &bytes, const hostile::Verdict &v) {
    if (!v.ok) {
        EXPECT_FALSE(v.error.message.empty());
        EXPECT_LE(v.error.offset, bytes.size()) << v.error.message;
    }
}

} // namespace

TEST(HostileStreams, JobCutOrCorruptedAtEveryOffset) {
    const Bytes job = hostile::build_job();
    ASSERT_TRUE(hostile::read(job).ok) << hostile::read(job).error.message;
    for (size_t n = 0; n < job.size(); ++n) {
        const Bytes cut(job.begin(), job.begin() + static_cast<long>(n));
        const hostile::Verdict v = hostile::read(cut);
        EXPECT_FALSE(v.ok) << "cut at " << n;
        expect_clean(cut, v);
        for (unsigned char mask : {0xFF, 0x5A, 0x01, 0x80}) {
            Bytes bad = job;
            bad[n] ^= mask;
            expect_clean(bad, hostile::read(bad));
        }
    }
}
