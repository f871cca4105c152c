// Delta-row encoder: exact bytes for the cases the format pins down, and the
// fast encoder checked against the plain byte-at-a-time one on random rows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "capture.h"
#include "delta_row_reference.h"
#include "raster/diff_mask.h"
#include "raster/pixels.h"

using namespace pclxl_test;

namespace {

size_t worst_case(size_t n) { return 2 + n + (n + 7) / 8; }

struct Encoded {
    Bytes out;
    Bytes seed_after;
};

// Runs DeltaOneLine with a guard zone after the output area, which must stay
// untouched.
Encoded encode(const Bytes &seed_in, const Bytes &row) {
    Bytes seed = seed_in, r = row;
    const size_t room = worst_case(row.size());
    Bytes out(room + 16, 0xA5);
    int n = DeltaOneLine(out.data(), r.data(), r.size(), seed.data());
    for (size_t i = room; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xA5) << "wrote past the documented output size";
    out.resize(static_cast<size_t>(n));
    return {out, seed};
}

Bytes zeros_with(size_t n, std::initializer_list<std::pair<size_t, unsigned char>> set) {
    Bytes b(n, 0);
    for (auto [i, v] : set)
        b[i] = v;
    return b;
}

struct GoldenCase {
    const char *name;
    Bytes seed, row;
    const char *expected;
};

TEST(DeltaOneLine, GoldenRows) {
    const GoldenCase cases[] = {
        {"unchanged", hex("10 20 30"), hex("10 20 30"), "00 00"},
        {"two runs", Bytes(8, 0), hex("00 00 AA BB 00 00 00 CC"), "05 00 22 AA BB 03 CC"},
        {"run cut at 8", Bytes(10, 0), hex("01 02 03 04 05 06 07 08 09 0A"),
         "0C 00 E0 01 02 03 04 05 06 07 08 20 09 0A"},
        {"cut run then gap", Bytes(11, 0), hex("01 02 03 04 05 06 07 08 09 00 0B"),
         "0D 00 E0 01 02 03 04 05 06 07 08 00 09 01 0B"},
        {"against nonzero seed", hex("01 09 03 09"), hex("01 02 03 04"), "04 00 01 02 01 04"},
        {"one byte", hex("00"), hex("05"), "02 00 00 05"},
        {"offset 30", Bytes(40, 0), zeros_with(40, {{30, 0x55}}), "02 00 1E 55"},
        {"offset 31", Bytes(40, 0), zeros_with(40, {{31, 0x55}}), "03 00 1F 00 55"},
        {"offset 285", Bytes(600, 0), zeros_with(600, {{285, 0x77}}), "03 00 1F FE 77"},
        {"offset 286", Bytes(600, 0), zeros_with(600, {{286, 0x77}}), "04 00 1F FF 00 77"},
        {"offset 540", Bytes(600, 0), zeros_with(600, {{540, 0x77}}), "04 00 1F FF FE 77"},
        {"offset 541", Bytes(600, 0), zeros_with(600, {{541, 0x77}}), "05 00 1F FF FF 00 77"},
        {"run across a 64-byte window", Bytes(70, 0), zeros_with(70, {{63, 1}, {64, 2}}),
         "04 00 3F 20 01 02"},
        {"last byte of a window-sized row", Bytes(64, 0), zeros_with(64, {{63, 9}}),
         "03 00 1F 20 09"},
        {"empty row", Bytes(), Bytes(), "00 00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Encoded e = encode(c.seed, c.row);
        EXPECT_EQ(to_hex(e.out), to_hex(hex(c.expected)));
        EXPECT_EQ(e.seed_after, c.row);
    }
}

TEST(SetM3Copy, WritesCommandExtensionAndBytes) {
    const struct {
        unsigned short count, offset;
        const char *expected;
    } cases[] = {
        {1, 0, "00 AA"},           {8, 30, "FE AA BB CC DD EE FF 11 22"},
        {3, 31, "5F 00 AA BB CC"}, {2, 286, "3F FF 00 AA BB"},
        {1, 65535, nullptr}, // checked below: 256 extension bytes
    };
    const Bytes src = hex("AA BB CC DD EE FF 11 22");
    for (const auto &c : cases) {
        Bytes out(300, 0);
        unsigned char *end =
            SetM3Copy(out.data(), c.count, const_cast<unsigned char *>(src.data()), c.offset);
        out.resize(static_cast<size_t>(end - out.data()));
        if (c.expected) {
            EXPECT_EQ(to_hex(out), to_hex(hex(c.expected))) << c.count << "@" << c.offset;
        } else {
            // 65535 - 31 = 65504 = 256 * 255 + 224
            ASSERT_EQ(out.size(), 1u + 256 + 1 + 1);
            EXPECT_EQ(out[0], 0x1F);
            EXPECT_EQ(out[256], 0xFF);
            EXPECT_EQ(out[257], 224);
            EXPECT_EQ(out[258], 0xAA);
        }
    }
}

// A row that differs from its seed at a random density, in random stretches,
// with long unchanged spans so that offset extensions show up.
Bytes mutate(const Bytes &seed, std::mt19937 &rng, double density, size_t long_gap) {
    Bytes row = seed;
    std::uniform_real_distribution<double> u(0, 1);
    std::uniform_int_distribution<int> byte(1, 255);
    for (size_t i = 0; i < row.size();) {
        if (long_gap != 0 && u(rng) < 0.01) {
            i += long_gap; // leave a long stretch unchanged
            continue;
        }
        if (u(rng) < density) {
            // a stretch of changed bytes, up to 20 long
            size_t len = 1 + rng() % 20;
            for (size_t k = 0; k < len && i < row.size(); ++k, ++i)
                row[i] = static_cast<unsigned char>(row[i] + byte(rng));
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
    const size_t lengths[] = {1,   2,   7,   8,    9,    15,    16,    17,   31,   63,
                              64,  65,  127, 128,  129,  255,   300,   1000, 4096, 4099,
                              100, 257, 999, 5000, 9999, 14880, 32767, 70000};
    const double densities[] = {0.0, 0.002, 0.05, 0.3, 0.9, 1.0};
    const size_t gaps[] = {0, 40, 300, 700};
    for (size_t n : lengths)
        for (double d : densities)
            for (size_t gap : gaps) {
                Bytes seed(n);
                for (auto &b : seed)
                    b = static_cast<unsigned char>(rng());
                Bytes fast_seed = seed, plain_seed = seed;
                // Several rows in a row, each encoded against the last.
                for (int r = 0; r < 3; ++r) {
                    Bytes row = mutate(plain_seed, rng, d, gap);
                    Bytes fast(worst_case(n)), plain(worst_case(n) + 64);
                    int nf = DeltaOneLine(fast.data(), row.data(), n, fast_seed.data());
                    int np =
                        pclxl_ref::delta_row_plain(plain.data(), row.data(), n, plain_seed.data());
                    fast.resize(static_cast<size_t>(nf));
                    plain.resize(static_cast<size_t>(np));
                    ASSERT_EQ(fast, plain)
                        << "length " << n << " density " << d << " gap " << gap << " row " << r;
                    ASSERT_EQ(fast_seed, row);
                    ASSERT_LE(static_cast<size_t>(nf), worst_case(n));
                    if (n <= 58253) {
                        // ... and it decodes back to the row.
                        Bytes decoded = seed;
                        if (r == 0) {
                            ASSERT_EQ(pclxl_ref::delta_row_decode(fast.data(), fast.size(),
                                                                  decoded.data(), n),
                                      fast.size());
                            ASSERT_EQ(decoded, row);
                        }
                    }
                }
            }
}

TEST(DiffMask, PortableAndVectorMasksAgree) {
    std::mt19937 rng(12345);
    for (int t = 0; t < 2000; ++t) {
        unsigned char a[64], b[64];
        for (int i = 0; i < 64; ++i) {
            a[i] = static_cast<unsigned char>(rng());
            b[i] = (rng() % 4 == 0) ? static_cast<unsigned char>(rng()) : a[i];
        }
        uint64_t expected = 0;
        for (int i = 0; i < 64; ++i)
            expected |= uint64_t{a[i] != b[i]} << i;
        ASSERT_EQ(pclxl::raster::diff_mask64_portable(a, b), expected);
        ASSERT_EQ(pclxl::raster::any_diff64_portable(a, b), expected != 0);
        ASSERT_EQ(pclxl::raster::diff_mask64(a, b), expected);
        ASSERT_EQ(pclxl::raster::any_diff64(a, b), expected != 0);
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

        // Exact-size destination: the vector form must not store past it.
        std::vector<unsigned char> dst_fast(3 * pixels + 1, 0x5A), dst_plain(3 * pixels);
        pclxl::raster::bgrx_to_rgb(dst_fast.data(), bgrx.data(), pixels);
        pclxl::raster::bgrx_to_rgb_scalar(dst_plain.data(), bgrx.data(), pixels);
        ASSERT_EQ(dst_fast.back(), 0x5A) << pixels << " pixels";
        dst_fast.pop_back();
        ASSERT_EQ(dst_fast, dst_plain) << pixels << " pixels";
    }
    Bytes px = hex("01 02 03 04 05 06");
    pclxl::raster::swap_rb24_scalar(px.data(), 2);
    EXPECT_EQ(to_hex(px), "03 02 01 06 05 04");
}

} // namespace
