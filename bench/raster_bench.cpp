// Raster benchmarks on three A4 pages at 600 dpi, 24 bits per pixel
// (4960 x 7016 pixels, 14880-byte rows, about 104 MB each):
//   white      a text page: mostly white, 95% of rows equal to the row before
//   photo      every byte changes from one row to the next
//   scattered  about 5% of the bytes of each row change
//
// For each page, DeltaOneLine is timed against the plain byte-at-a-time
// encoder and against memcmp of the same rows; pclxl_write_bitmap_data (B,G,R)
// and pclxl_write_pixels (R,G,B) on the photo page against memcpy of the
// page. After the runs, the ratios to
// these baselines are printed, from CPU time, which a busy machine skews
// less than wall time. Run on one core, e.g. under taskset -c 0.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "delta_row_reference.h"
#include "pclxl.hpp"

namespace {

constexpr size_t kWidth = 4960, kHeight = 7016, kRow = 3 * kWidth;

struct Rng { // xorshift64*: fast enough to fill pages quickly
    uint64_t s;
    uint64_t next() {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 0x2545F4914F6CDD1Dull;
    }
    unsigned below(unsigned n) { return static_cast<unsigned>((next() >> 32) % n); }
};

using Page = std::vector<unsigned char>;

Page make_white() {
    Page p(kRow * kHeight);
    Rng rng{1};
    std::memset(p.data(), 0xFF, kRow);
    for (size_t r = 1; r < kHeight; ++r) {
        unsigned char *row = p.data() + r * kRow;
        std::memcpy(row, row - kRow, kRow);
        if (rng.below(100) < 95)
            continue;
        // A new row of text: white with dark strokes on about 8% of it.
        std::memset(row, 0xFF, kRow);
        for (size_t x = 0; x < kWidth;) {
            x += 20 + rng.below(200);
            const size_t len = 2 + rng.below(14);
            for (size_t k = 0; k < len && x < kWidth; ++k, ++x)
                std::memset(row + 3 * x, static_cast<int>(rng.below(64)), 3);
        }
    }
    return p;
}

Page make_photo() {
    Page p(kRow * kHeight);
    Rng rng{2};
    for (size_t i = 0; i < kRow; ++i)
        p[i] = static_cast<unsigned char>(1 + rng.below(255)); // differs from a zero seed
    for (size_t i = kRow; i < p.size(); ++i)
        p[i] = static_cast<unsigned char>(p[i - kRow] + 1 + rng.below(255));
    return p;
}

Page make_scattered() {
    Page p(kRow * kHeight);
    Rng rng{3};
    for (size_t i = 0; i < kRow; ++i)
        p[i] = static_cast<unsigned char>(rng.next());
    for (size_t r = 1; r < kHeight; ++r) {
        unsigned char *row = p.data() + r * kRow;
        std::memcpy(row, row - kRow, kRow);
        for (size_t x = 0; x < kRow; ++x)
            if (rng.below(1000) < 50)
                row[x] = static_cast<unsigned char>(row[x] + 1 + rng.below(255));
    }
    return p;
}

const Page &page(const std::string &name) {
    static std::map<std::string, std::unique_ptr<Page>> pages;
    auto &slot = pages[name];
    if (!slot)
        slot = std::make_unique<Page>(name == "white"   ? make_white()
                                      : name == "photo" ? make_photo()
                                                        : make_scattered());
    return *slot;
}

template <class Encode> void encode_page(benchmark::State &state, const Page &p, Encode encode) {
    std::vector<unsigned char> seed(kRow), out(2 + kRow + kRow / 8 + 64);
    for (auto _ : state) {
        std::memset(seed.data(), 0, kRow);
        size_t total = 0;
        for (size_t r = 0; r < kHeight; ++r)
            total += static_cast<size_t>(
                encode(out.data(), const_cast<unsigned char *>(p.data() + r * kRow), seed.data()));
        benchmark::DoNotOptimize(total);
        state.counters["out_MB"] = static_cast<double>(total) / 1e6;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

void fast(benchmark::State &state, const std::string &name) {
    encode_page(state, page(name), [](unsigned char *out, unsigned char *row, unsigned char *seed) {
        return DeltaOneLine(out, row, kRow, seed);
    });
}

void plain(benchmark::State &state, const std::string &name) {
    encode_page(state, page(name), [](unsigned char *out, unsigned char *row, unsigned char *seed) {
        return pclxl_ref::delta_row_plain(out, row, kRow, seed);
    });
}

void compare(benchmark::State &state, const std::string &name) {
    const Page &p = page(name);
    std::vector<unsigned char> zero(kRow, 0);
    for (auto _ : state) {
        int acc = std::memcmp(p.data(), zero.data(), kRow) != 0;
        for (size_t r = 1; r < kHeight; ++r)
            acc += std::memcmp(p.data() + r * kRow, p.data() + (r - 1) * kRow, kRow) != 0;
        benchmark::DoNotOptimize(acc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

size_t g_sink_bytes;
void count_bytes(const void *, unsigned int length, const void *) { g_sink_bytes += length; }

void write_bitmap(benchmark::State &state) {
    // The image operation exchanges B and R in place, so it gets its own
    // copy; every pass flips the page back, which costs the same.
    Page p = page("photo");
    pclxl_init(nullptr, count_bytes);
    for (auto _ : state) {
        g_sink_bytes = 0;
        int ok =
            pclxl_write_bitmap_data(0, p.data(), kWidth, kHeight, kRow, 24, 0, 0, kWidth, kHeight);
        benchmark::DoNotOptimize(ok);
    }
    pclxl_init(nullptr, nullptr);
    state.counters["out_MB"] = static_cast<double>(g_sink_bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

// The R,G,B path of the const call: the page is only read (R,G,B rows go
// to the encoder as they lie), so it can be shared with the other runs.
void write_pixels_rgb(benchmark::State &state) {
    const Page &p = page("photo");
    pclxl_init(nullptr, count_bytes);
    for (auto _ : state) {
        g_sink_bytes = 0;
        int ok = pclxl_write_pixels(PCLXL_PIXELS_RGB24, p.data(), kWidth, kHeight, kRow, 0, 0,
                                    kWidth, kHeight);
        benchmark::DoNotOptimize(ok);
    }
    pclxl_init(nullptr, nullptr);
    state.counters["out_MB"] = static_cast<double>(g_sink_bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

void copy(benchmark::State &state) {
    const Page &src = page("photo");
    Page dst(src.size(), 1); // touched once so that pages are mapped
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
}

// Prints the ratios to the baselines of the same run after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &r : runs)
            if (!r.error_occurred)
                time_[r.benchmark_name()] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        GetOutputStream() << "\nRatios (target in brackets):\n";
        for (const char *p : {"white", "photo", "scattered"}) {
            const char *target = p[0] == 'w' ? "8" : p[0] == 'p' ? "6" : "2.5";
            ratio(std::string("plain/") + p, std::string("DeltaOneLine/") + p,
                  std::string("  ") + p +
                      ": DeltaOneLine is %.2fx faster than plain [>= " + target + "]\n");
        }
        ratio("DeltaOneLine/white", "memcmp/white",
              "  white: DeltaOneLine takes %.2fx the time of memcmp [<= 2]\n");
        ratio("memcpy/photo", "write_bitmap_data/photo",
              "  photo: write_bitmap_data runs at %.2f of memcpy bandwidth [>= 0.40]\n");
        ratio("memcpy/photo", "write_pixels_rgb/photo",
              "  photo: write_pixels R,G,B runs at %.2f of memcpy bandwidth [>= 0.50]\n");
    }

  private:
    double get(const std::string &name) const {
        // With repetitions, use the median.
        auto it = time_.find(name + "_median");
        if (it == time_.end())
            it = time_.find(name);
        return it == time_.end() ? 0 : it->second;
    }
    void ratio(const std::string &num, const std::string &den, const std::string &fmt) const {
        const double a = get(num), b = get(den);
        if (a > 0 && b > 0) {
            char line[200];
            std::snprintf(line, sizeof line, fmt.c_str(), a / b);
            GetOutputStream() << line;
        }
    }
    std::map<std::string, double> time_;
};

} // namespace

int main(int argc, char **argv) {
    for (const std::string p : {"white", "photo", "scattered"}) {
        benchmark::RegisterBenchmark(("DeltaOneLine/" + p).c_str(), fast, p)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("plain/" + p).c_str(), plain, p)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("memcmp/" + p).c_str(), compare, p)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("write_bitmap_data/photo", write_bitmap)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("write_pixels_rgb/photo", write_pixels_rgb)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("memcpy/photo", copy)->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
