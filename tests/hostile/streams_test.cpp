// The reader against streams cut short, corrupted and made of garbage:
// it must reject them with a message at an offset inside the input, and
// never crash or read past the end (the sanitizer builds catch that).
#include <gtest/gtest.h>

#include <random>

#include "job_builder.h"

using pclxl_test::Bytes;

namespace {

constexpr size_t kTrailerBytes = 28; // UEL, "@PJL EOJ", UEL

void expect_clean_rejection(const Bytes &bytes, const hostile::Verdict &v) {
    if (v.ok)
        return;
    EXPECT_FALSE(v.error.message.empty());
    EXPECT_LE(v.error.offset, bytes.size()) << v.error.message;
}

} // namespace

TEST(HostileStreams, JobCutAtEveryOffsetIsRejected) {
    const Bytes job = hostile::build_job();
    ASSERT_TRUE(hostile::read(job).ok) << hostile::read(job).error.message;
    ASSERT_GT(job.size(), kTrailerBytes);
    // A job may end within its text part (PJL only, or a stream without
    // commands); once the binary stream has begun, every cut before the
    // trailer leaves a page, session or command open.
    const std::string text(job.begin(), job.end());
    const size_t pclxl = text.find('\n', text.find("HP-PCL XL")) + 2;
    ASSERT_LT(pclxl, job.size());
    for (size_t n = 0; n < job.size(); ++n) {
        const Bytes cut(job.begin(), job.begin() + static_cast<long>(n));
        const hostile::Verdict v = hostile::read(cut);
        if (n >= pclxl && n < job.size() - kTrailerBytes) {
            EXPECT_FALSE(v.ok) << "cut at " << n;
        }
        expect_clean_rejection(cut, v);
    }
}

TEST(HostileStreams, CorruptedJobNeverHarmsTheReader) {
    const Bytes job = hostile::build_job();
    for (unsigned char mask : {0xFF, 0x5A, 0x01, 0x80}) {
        for (size_t i = 0; i < job.size(); ++i) {
            Bytes bad = job;
            bad[i] ^= mask;
            expect_clean_rejection(bad, hostile::read(bad));
        }
    }
}

TEST(HostileStreams, GarbageIsRejected) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const Bytes job = hostile::build_job();
    // The job up to the stream's first binary byte: garbage after it goes
    // straight to the binary reader.
    const std::string text(job.begin(), job.end());
    const size_t binary = text.find('\n', text.find("HP-PCL XL")) + 1;
    ASSERT_NE(binary, 0u);

    for (int round = 0; round < 600; ++round) {
        Bytes bytes;
        if (round % 3 != 0)
            bytes.assign(job.begin(), job.begin() + static_cast<long>(binary));
        const size_t n = rng() % (round % 2 ? 64 : 4000);
        for (size_t i = 0; i < n; ++i)
            bytes.push_back(static_cast<unsigned char>(rng()));
        const hostile::Verdict v = hostile::read(bytes);
        EXPECT_FALSE(v.ok && n > 0 && round % 3 == 0) << "round " << round;
        expect_clean_rejection(bytes, v);
    }
}
