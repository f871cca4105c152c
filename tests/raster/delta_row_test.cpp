// Delta-row encoder: exact bytes where the format pins them down, and the
// fast encoder and vector helpers checked against plain forms on random data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "capture.h"
#include "delta_row_reference.h"
#include "raster/diff_mask.h"
#include "raster/full_pairs.h"
#include "raster/pixels.h"

using namespace pclxl_test;

namespace {

// The bound the header gives hosts for sizing their buffers.
size_t worst_case(size_t n) { return PCLXL_DELTA_ROW_MAX_BYTES(n); }

Bytes zeros_with(size_t n, std::initializer_list<std::pair<size_t, unsigned char>> set) {
    Bytes b(n, 0);
    for (auto [i, v] : set)
        b[i] = v;
    return b;
}

TEST(DeltaOneLine, GoldenRows) {
    const struct {
        const char *name;
        Bytes seed, row;
        const char *expected;
    } cases[] = {
        {"unchanged", hex("10 20 30"), hex("10 20 30"), "00 00"},
        {"empty row", Bytes(), Bytes(), "00 00"},
        {"two runs", Bytes(8, 0), hex("00 00 AA BB 00 00 00 CC"), "05 00 22 AA BB 03 CC"},
        {"run cut at 8", Bytes(10, 0), hex("01 02 03 04 05 06 07 08 09 0A"),
         "0C 00 E0 01 02 03 04 05 06 07 08 20 09 0A"},
        {"against nonzero seed", hex("01 09 03 09"), hex("01 02 03 04"), "04 00 01 02 01 04"},
        {"offset 30", Bytes(40, 0), zeros_with(40, {{30, 0x55}}), "02 00 1E 55"},
        {"offset 31", Bytes(40, 0), zeros_with(40, {{31, 0x55}}), "03 00 1F 00 55"},
        {"offset 285", Bytes(600, 0), zeros_with(600, {{285, 0x77}}), "03 00 1F FE 77"},
        {"offset 286", Bytes(600, 0), zeros_with(600, {{286, 0x77}}), "04 00 1F FF 00 77"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes seed = c.seed, row = c.row;
        // A guard zone after the documented output size must stay untouched.
        Bytes out(worst_case(row.size()) + 16, 0xA5);
        int n = DeltaOneLine(out.data(), row.data(), row.size(), seed.data());
        for (size_t i = worst_case(row.size()); i < out.size(); ++i)
            ASSERT_EQ(out[i], 0xA5) << "wrote past the documented output size";
        out.resize(static_cast<size_t>(n));
        EXPECT_EQ(to_hex(out), to_hex(hex(c.expected)));
        EXPECT_EQ(seed, row);
    }
}

// A row that differs from its seed in random stretches at a given density,
// with long unchanged spans so that offset extensions show up.
Bytes mutate(const Bytes &seed, std::mt19937 &rng, double density, size_t long_gap) {
    Bytes row = seed;
    std::uniform_real_distribution<double> u(0, 1);
    for (size_t i = 0; i < row.size();) {
        if (long_gap != 0 && u(rng) < 0.01) {
            i += long_gap;
        } else if (u(rng) < density) {
            for (size_t k = 1 + rng() % 20; k > 0 && i < row.size(); --k, ++i)
                row[i] = static_cast<unsigned char>(row[i] + 1 + rng() % 255);
        } else {
            i += 1 + rng() % 8;
        }
    }
    return row;
}

TEST(DeltaOneLine, MatchesPlainEncoderOnRandomRows) {
    // PCLXL_TEST_SEED replays a failing run.
    const char *fixed = std::getenv("PCLXL_TEST_SEED");
    const unsigned seed_value =
        fixed ? static_cast<unsigned>(std::strtoul(fixed, nullptr, 10)) : std::random_device{}();
    SCOPED_TRACE("random seed " + std::to_string(seed_value));
    std::mt19937 rng(seed_value);
    const size_t lengths[] = {1,   2,    7,    8,    9,    15,    16,    17,   31,
                              63,  64,   65,   127,  128,  129,   255,   257,  300,
                              999, 4096, 4099, 5000, 9999, 14880, 32767, 70000};
    for (size_t n : lengths)
        for (double density : {0.0, 0.002, 0.05, 0.3, 0.9, 1.0})
            for (size_t gap : {0, 40, 300, 700}) {
                Bytes seed(n);
                for (auto &b : seed)
                    b = static_cast<unsigned char>(rng());
                Bytes fast_seed = seed, plain_seed = seed;
                // Several rows, each encoded against the last.
                for (int r = 0; r < 3; ++r) {
                    Bytes row = mutate(plain_seed, rng, density, gap);
                    Bytes fast(worst_case(n)), plain(worst_case(n) + 64);
                    fast.resize(static_cast<size_t>(
                        DeltaOneLine(fast.data(), row.data(), n, fast_seed.data())));
                    plain.resize(static_cast<size_t>(pclxl_ref::delta_row_plain(
                        plain.data(), row.data(), n, plain_seed.data())));
                    ASSERT_EQ(fast, plain) << "length " << n << " density " << density << " gap "
                                           << gap << " row " << r;
                    ASSERT_EQ(fast_seed, row);
                    ASSERT_LE(fast.size(), worst_case(n));
                    if (r == 0 && n <= 58253) { // ... and it decodes back to the row.
                        Bytes decoded = seed;
                        ASSERT_EQ(pclxl_ref::delta_row_decode(fast.data(), fast.size(),
                                                              decoded.data(), n),
                                  fast.size());
                        ASSERT_EQ(decoded, row);
                    }
                }
            }
}

TEST(DiffMask, PortableAndVectorMasksAgree) {
    std::mt19937 rng(12345);
    for (int t = 0; t < 2000; ++t) {
        unsigned char a[64], b[64];
        uint64_t expected = 0;
        for (int i = 0; i < 64; ++i) {
            a[i] = static_cast<unsigned char>(rng());
            b[i] = (rng() % 4 == 0) ? static_cast<unsigned char>(rng()) : a[i];
            expected |= uint64_t{a[i] != b[i]} << i;
        }
        ASSERT_EQ(pclxl::raster::diff_mask64_portable(a, b), expected);
        ASSERT_EQ(pclxl::raster::any_diff64_portable(a, b), expected != 0);
        ASSERT_EQ(pclxl::raster::diff_mask64(a, b), expected);
        ASSERT_EQ(pclxl::raster::any_diff64(a, b), expected != 0);
    }
}

TEST(FullPairs, VectorFormsMatchScalar) {
    std::mt19937 rng(31);
    Bytes src(16 * 5);
    for (auto &b : src)
        b = static_cast<unsigned char>(rng());
    for (size_t pairs = 0; pairs <= 5; ++pairs) {
        Bytes plain(18 * pairs + 2, 0x5A);
        pclxl::raster::put_full_pairs_scalar(plain.data(), src.data(), pairs);
#if defined(__SSE2__)
        Bytes sse2(plain.size(), 0x5A), ssse3(plain.size(), 0x5A);
        EXPECT_EQ(pclxl::raster::put_full_pairs_sse2(sse2.data(), src.data(), pairs),
                  sse2.data() + 18 * pairs);
        EXPECT_EQ(sse2, plain) << pairs << " pairs";
        if (pclxl::raster::have_ssse3()) {
            pclxl::raster::put_full_pairs_ssse3(ssse3.data(), src.data(), pairs);
            EXPECT_EQ(ssse3, plain) << pairs << " pairs";
        }
#endif
    }
}

TEST(PixelConversion, VectorFormsMatchScalar) {
    std::mt19937 rng(777);
    for (size_t pixels = 0; pixels < 120; ++pixels) {
        Bytes bgr(3 * pixels), bgrx(4 * pixels);
        for (auto &b : bgr)
            b = static_cast<unsigned char>(rng());
        for (auto &b : bgrx)
            b = static_cast<unsigned char>(rng());
        Bytes fast = bgr, plain = bgr;
        pclxl::raster::swap_rb24(fast.data(), pixels);
        pclxl::raster::swap_rb24_scalar(plain.data(), pixels);
        ASSERT_EQ(fast, plain) << pixels << " pixels";
#if defined(__SSE2__)
        Bytes sse2 = bgr;
        pclxl::raster::swap_rb24_sse2(sse2.data(), pixels);
        ASSERT_EQ(sse2, plain) << pixels << " pixels";
#endif
        // Exact-size destination: the vector forms must not store past it.
        using Convert = void (*)(unsigned char *, const unsigned char *, size_t);
        const std::pair<Convert, Convert> forms[] = {
            {pclxl::raster::bgrx_to_rgb, pclxl::raster::bgrx_to_rgb_scalar},
            {pclxl::raster::rgbx_to_rgb, pclxl::raster::rgbx_to_rgb_scalar}};
        for (const auto &[fast_form, plain_form] : forms) {
            Bytes dst_fast(3 * pixels + 1, 0x5A), dst_plain(3 * pixels);
            fast_form(dst_fast.data(), bgrx.data(), pixels);
            plain_form(dst_plain.data(), bgrx.data(), pixels);
            ASSERT_EQ(dst_fast.back(), 0x5A) << pixels << " pixels";
            dst_fast.pop_back();
            ASSERT_EQ(dst_fast, dst_plain) << pixels << " pixels";
        }
    }
}

} // namespace
