// Delta-row encoder: exact bytes where the format pins them down, and the
// fast encoder and vector helpers checked against plain forms on random data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "capture.h"
#include "delta_row_reference.h"
#include "raster/delta_row_encoder.h"
#include "raster/full_pairs.h"
#include "raster/pixels.h"

using namespace pclxl_test;

namespace {

// The bound the header gives hosts for sizing their buffers.
size_t worst_case(size_t n) { return PCLXL_DELTA_ROW_MAX_BYTES(n); }

// n zero bytes but for 0x55 at `at`.
Bytes zeros_but(size_t n, size_t at) {
    Bytes b(n, 0);
    b[at] = 0x55;
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
        {"offset 30", Bytes(40, 0), zeros_but(40, 30), "02 00 1E 55"},
        {"offset 31", Bytes(40, 0), zeros_but(40, 31), "03 00 1F 00 55"},
        {"offset 285", Bytes(600, 0), zeros_but(600, 285), "03 00 1F FE 55"},
        {"offset 286", Bytes(600, 0), zeros_but(600, 286), "04 00 1F FF 00 55"},
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
    for (size_t n : {1,   2,   7,   8,   9,   15,  16,   17,   31,   63,    64,    65,   127,
                     128, 129, 255, 257, 300, 999, 4096, 4099, 9999, 14880, 32767, 70000})
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

// Every form of the encoder, whichever this processor would pick: the window
// walk that other processors use, and the 512-bit form where it runs. Rows
// change byte by byte at random, as photographs and scans do, with now and
// then an unchanged stretch across windows (offsets past 30) and runs that
// go on over window ends; each row is encoded against the last, both with
// the seed updated and against a previous row only read.
TEST(DeltaRowForms, MatchPlainEncoderOnBusyRows) {
    using Encode = int (*)(unsigned char *, const unsigned char *, size_t, unsigned char *);
    using AgainstFn =
        int (*)(unsigned char *, const unsigned char *, size_t, const unsigned char *);
    namespace raster = pclxl::raster;
    const struct {
        const char *name;
        bool runs;
        Encode update;
        AgainstFn against;
    } forms[] = {
        {"window walk", true, raster::encode_delta_row<true, false, unsigned char>,
         raster::encode_delta_row<false, false, const unsigned char>},
        {"512-bit", raster::have_avx512_vbmi2(),
         raster::encode_delta_row<true, true, unsigned char>,
         raster::encode_delta_row<false, true, const unsigned char>},
    };
    std::mt19937 rng(2024);
    for (const auto &f : forms) {
        if (!f.runs)
            continue;
        for (size_t n : {64, 65, 71, 72, 127, 128, 200, 1000, 14880})
            for (unsigned changed_in_16 : {15, 14, 12, 8, 4}) {
                SCOPED_TRACE(std::string(f.name) + ", length " + std::to_string(n) + ", " +
                             std::to_string(changed_in_16) + "/16 changed");
                Bytes prev(n), plain_seed(n);
                for (auto &b : prev)
                    b = static_cast<unsigned char>(rng());
                Bytes fast_seed = plain_seed = prev;
                for (int r = 0; r < 4; ++r) {
                    Bytes row = prev;
                    for (size_t i = 0; i < n; ++i) {
                        if (rng() % 200 == 0)
                            i += rng() % 2 ? 40 : 300;
                        else if (rng() % 16 < changed_in_16)
                            row[i] = static_cast<unsigned char>(row[i] + 1 + rng() % 255);
                        if (i >= n)
                            break;
                    }
                    Bytes plain(worst_case(n)), fast(worst_case(n)), against(worst_case(n));
                    plain.resize(static_cast<size_t>(pclxl_ref::delta_row_plain(
                        plain.data(), row.data(), n, plain_seed.data())));
                    fast.resize(static_cast<size_t>(
                        f.update(fast.data(), row.data(), n, fast_seed.data())));
                    against.resize(
                        static_cast<size_t>(f.against(against.data(), row.data(), n, prev.data())));
                    ASSERT_EQ(fast, plain) << "row " << r;
                    ASSERT_EQ(against, plain) << "row " << r;
                    ASSERT_EQ(fast_seed, row);
                    prev = row;
                }
            }
    }
}

#if defined(__SSE2__)
// Vector kernels against plain forms, as (out, in, units) on random input for
// every unit count up to a few blocks, with a guard byte after the output.
// The SSE2 forms are the path of processors without SSSE3, which the encoder
// and image tests do not reach on a machine that has it. (The change masks
// need no such check: each machine's encoder test runs the one it uses.)
using Kernel = void (*)(unsigned char *, const unsigned char *, size_t);
namespace raster = pclxl::raster;

template <unsigned char *(*Put)(unsigned char *, const unsigned char *, size_t)>
void pairs(unsigned char *out, const unsigned char *in, size_t n) {
    EXPECT_EQ(Put(out, in, n), out + 18 * n);
}
template <void (*Swap)(unsigned char *, size_t)>
void swapped(unsigned char *out, const unsigned char *in, size_t n) {
    std::copy(in, in + 3 * n, out);
    Swap(out, n);
}

TEST(VectorKernels, MatchPlainForms) {
    const Kernel put_plain = pairs<raster::put_full_pairs_scalar>,
                 swap_plain = swapped<raster::swap_rb24_scalar>;
    const struct {
        const char *name;
        Kernel fast, plain;
        size_t out_unit, in_unit;
        bool ssse3;
    } forms[] = {
        {"full pairs", pairs<raster::put_full_pairs_sse2>, put_plain, 18, 16, false},
        {"full pairs", pairs<raster::put_full_pairs_ssse3>, put_plain, 18, 16, true},
        {"swap", swapped<raster::swap_rb24_sse2>, swap_plain, 3, 3, false},
        {"swap", swapped<raster::detail::swap_rb24_ssse3>, swap_plain, 3, 3, true},
        {"BGRX", raster::bgrx_to_rgb_sse2, raster::bgrx_to_rgb_scalar, 3, 4, false},
        {"RGBX", raster::rgbx_to_rgb_sse2, raster::rgbx_to_rgb_scalar, 3, 4, false},
    };
    std::mt19937 rng(777);
    for (const auto &f : forms)
        for (size_t n = 0; n < 50 && (!f.ssse3 || raster::have_ssse3()); ++n) {
            SCOPED_TRACE(std::string(f.name) + (f.ssse3 ? ", SSSE3, " : ", ") + std::to_string(n));
            Bytes in(f.in_unit * n);
            for (auto &b : in)
                b = static_cast<unsigned char>(rng());
            Bytes fast(f.out_unit * n + 1, 0x5A), plain(f.out_unit * n);
            f.fast(fast.data(), in.data(), n);
            f.plain(plain.data(), in.data(), n);
            ASSERT_EQ(fast.back(), 0x5A) << "stored past the end";
            fast.pop_back();
            ASSERT_EQ(fast, plain);
        }
}
#endif

} // namespace
