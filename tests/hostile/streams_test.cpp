// The reader against streams cut short, corrupted and made of garbage: it
// rejects them with a message at an offset inside the input, and never
// crashes or reads past the end (the sanitizer builds catch that).
#include <gtest/gtest.h>

#include <random>

#include "job_builder.h"

using pclxl_test::Bytes;

namespace {

constexpr size_t kTrailerBytes = 28; // UEL, "@PJL EOJ", UEL

void expect_clean(const Bytes &bytes, const hostile::Verdict &v) {
    if (!v.ok) {
        EXPECT_FALSE(v.error.message.empty());
        EXPECT_LE(v.error.offset, bytes.size()) << v.error.message;
    }
}

// The offset of the stream's first binary byte.
size_t binary_start(const Bytes &job) {
    const std::string text(job.begin(), job.end());
    return text.find('\n', text.find("HP-PCL XL")) + 1;
}

} // namespace

TEST(HostileStreams, JobCutOrCorruptedAtEveryOffset) {
    const Bytes job = hostile::build_job();
    ASSERT_TRUE(hostile::read(job).ok) << hostile::read(job).error.message;
    // A job may end within its text part or right after the stream header
    // line; once a command has begun, every cut before the trailer leaves a
    // page, session or command open.
    const size_t first_command = binary_start(job) + 1;
    for (size_t n = 0; n < job.size(); ++n) {
        const Bytes cut(job.begin(), job.begin() + static_cast<long>(n));
        const hostile::Verdict v = hostile::read(cut);
        if (n >= first_command && n < job.size() - kTrailerBytes) {
            EXPECT_FALSE(v.ok) << "cut at " << n;
        }
        expect_clean(cut, v);
        for (unsigned char mask : {0xFF, 0x5A, 0x01, 0x80}) {
            Bytes bad = job;
            bad[n] ^= mask;
            expect_clean(bad, hostile::read(bad));
        }
    }
}

TEST(HostileStreams, GarbageIsRejected) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const Bytes job = hostile::build_job();
    const size_t binary = binary_start(job);
    for (int round = 0; round < 600; ++round) {
        Bytes bytes; // garbage alone, or straight after the stream header
        if (round % 3 != 0)
            bytes.assign(job.begin(), job.begin() + static_cast<long>(binary));
        const size_t n = rng() % (round % 2 ? 64 : 4000);
        for (size_t i = 0; i < n; ++i)
            bytes.push_back(static_cast<unsigned char>(rng()));
        const hostile::Verdict v = hostile::read(bytes);
        EXPECT_FALSE(v.ok && n > 0 && round % 3 == 0) << "round " << round;
        expect_clean(bytes, v);
    }
}
