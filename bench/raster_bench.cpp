// Raster benchmarks on A4 pages at 600 dpi, 24 bits per pixel (about
// 4960 x 7016 pixels, 14880-byte rows, 104 MB each). Made here:
//   white      a text page: mostly white, 95% of rows equal to the row before
//   photo      every byte changes from one row to the next
//   scattered  about 5% of the bytes of each row change
//   camera     7/8 of the bytes change, the others at random do not
// Read from PCLXL_BENCH_PAGES (made by bench/make_pages.sh), when given:
//   photograph a decoded photograph at twice its size, tiled over the page
//   text       a page of text rasterized by Ghostscript
//   scan       that page anti-aliased and turned, with paper tone and
//              sensor noise added here
//
// For each page, DeltaOneLine is timed against the plain byte-at-a-time
// encoder and against memcmp of the same rows, and pclxl_write_pixels
// (R,G,B) against memcpy of the page; pclxl_write_bitmap_data (B,G,R) on
// the photo page. After the runs, the ratios to these baselines are
// printed, from CPU time, which a busy machine skews less than wall time.
// Run on one core, e.g. under taskset -c 0.
#include <benchmark/benchmark.h>

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "delta_row_reference.h"
#include "pclxl.hpp"

namespace {

constexpr size_t kWidth = 4960, kHeight = 7016;

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

// R,G,B rows, no padding.
struct Page {
    size_t width = kWidth, height = kHeight;
    std::vector<unsigned char> bytes;
    size_t row() const { return 3 * width; }
    size_t size() const { return bytes.size(); }
    unsigned char *data() { return bytes.data(); }
    const unsigned char *data() const { return bytes.data(); }
    unsigned char &operator[](size_t i) { return bytes[i]; }
    Page() : bytes(3 * kWidth * kHeight) {}
};
constexpr size_t kRow = 3 * kWidth;

Page make_white() {
    Page p;
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
    Page p;
    Rng rng{2};
    for (size_t i = 0; i < kRow; ++i)
        p[i] = static_cast<unsigned char>(1 + rng.below(255)); // differs from a zero seed
    for (size_t i = kRow; i < p.size(); ++i)
        p[i] = static_cast<unsigned char>(p[i - kRow] + 1 + rng.below(255));
    return p;
}

Page make_scattered() {
    Page p;
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

// As bytes of 0..255: 7/8 of them change from row to row, the others, at
// random, do not (a camera photo at 600 dpi).
Page make_camera() {
    Page p;
    Rng rng{4};
    for (size_t i = 0; i < kRow; ++i)
        p[i] = static_cast<unsigned char>(rng.next());
    for (size_t i = kRow; i < p.size(); ++i)
        p[i] =
            static_cast<unsigned char>(p[i - kRow] + (rng.below(8) == 0 ? 0 : 1 + rng.below(255)));
    return p;
}

std::string pages_dir() {
    const char *dir = std::getenv("PCLXL_BENCH_PAGES");
    return dir ? dir : "";
}

// A binary PPM (P6, maxval 255) as R,G,B rows; empty when unreadable.
Page read_ppm(const std::string &path) {
    Page p;
    p.bytes.clear();
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    size_t w = 0, h = 0, max = 0;
    auto skip = [&] {
        while (in >> std::ws && in.peek() == '#')
            in.ignore(1 << 20, '\n');
    };
    in >> magic;
    skip();
    in >> w;
    skip();
    in >> h;
    skip();
    in >> max;
    in.get();
    if (!in || magic != "P6" || max != 255 || w == 0 || h == 0)
        return p;
    p.width = w;
    p.height = h;
    p.bytes.resize(3 * w * h);
    in.read(reinterpret_cast<char *>(p.data()), static_cast<std::streamsize>(p.size()));
    if (!in)
        p.bytes.clear();
    return p;
}

// A decoded photograph at twice its size (bilinear), tiled over the page.
Page make_photograph() {
    Page p;
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    const std::string path = pages_dir() + "/photo.png";
    if (!png_image_begin_read_from_file(&img, path.c_str())) {
        p.bytes.clear();
        return p;
    }
    img.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> src(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, src.data(), 0, nullptr)) {
        p.bytes.clear();
        return p;
    }
    const size_t sw = img.width, sh = img.height;
    for (size_t y = 0; y < kHeight; ++y) {
        const size_t ty = y % (2 * sh);
        const size_t y0 = ty / 2, y1 = std::min(y0 + (ty & 1), sh - 1);
        for (size_t x = 0; x < kWidth; ++x) {
            const size_t tx = x % (2 * sw);
            const size_t x0 = tx / 2, x1 = std::min(x0 + (tx & 1), sw - 1);
            for (size_t c = 0; c < 3; ++c) {
                const unsigned sum = src[3 * (y0 * sw + x0) + c] + src[3 * (y0 * sw + x1) + c] +
                                     src[3 * (y1 * sw + x0) + c] + src[3 * (y1 * sw + x1) + c];
                p[3 * (y * kWidth + x) + c] = static_cast<unsigned char>((sum + 2) / 4);
            }
        }
    }
    return p;
}

// The scanned page: paper a little darker than white, lit a little unevenly
// across the sheet, and the sensor's noise on every pixel (-2..2, most
// often 0 and +-1).
Page make_scan() {
    Page p = read_ppm(pages_dir() + "/scan.ppm");
    Rng rng{5};
    for (size_t y = 0; y < p.height; ++y)
        for (size_t x = 0; x < p.width; ++x) {
            const double light =
                0.93 + 0.03 * double(x) / double(p.width) - 0.02 * double(y) / double(p.height);
            for (size_t c = 0; c < 3; ++c) {
                unsigned char &v = p[3 * (y * p.width + x) + c];
                const int noise =
                    static_cast<int>(rng.below(3)) + static_cast<int>(rng.below(3)) - 2;
                v = static_cast<unsigned char>(
                    std::clamp(static_cast<int>(v * light + 0.5) + noise, 0, 255));
            }
        }
    return p;
}

// Made here, then read from PCLXL_BENCH_PAGES.
const char *const kPages[] = {"white",      "photo", "scattered", "camera",
                              "photograph", "text",  "scan"};

// Every page once, made on first use; empty when its file is missing.
const Page &page(const std::string &name) {
    static std::map<std::string, std::unique_ptr<Page>> pages;
    auto &slot = pages[name];
    if (!slot)
        slot = std::make_unique<Page>(name == "white"        ? make_white()
                                      : name == "photo"      ? make_photo()
                                      : name == "scattered"  ? make_scattered()
                                      : name == "camera"     ? make_camera()
                                      : name == "photograph" ? make_photograph()
                                      : name == "text"       ? read_ppm(pages_dir() + "/text.ppm")
                                                             : make_scan());
    return *slot;
}

// False (with the benchmark skipped) for a page whose file is missing.
bool have(benchmark::State &state, const Page &p) {
    if (p.size() != 0)
        return true;
    state.SkipWithError("no such page: set PCLXL_BENCH_PAGES (bench/make_pages.sh)");
    return false;
}

template <class Encode> void encode_page(benchmark::State &state, const Page &p, Encode encode) {
    if (!have(state, p))
        return;
    const size_t row = p.row();
    std::vector<unsigned char> seed(row), out(2 + row + row / 8 + 64);
    for (auto _ : state) {
        std::memset(seed.data(), 0, row);
        size_t total = 0;
        for (size_t r = 0; r < p.height; ++r)
            total += static_cast<size_t>(encode(
                out.data(), const_cast<unsigned char *>(p.data() + r * row), row, seed.data()));
        benchmark::DoNotOptimize(total);
        state.counters["out_MB"] = static_cast<double>(total) / 1e6;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

void fast(benchmark::State &state, const std::string &name) {
    encode_page(state, page(name),
                [](unsigned char *out, unsigned char *row, size_t n, unsigned char *seed) {
                    return DeltaOneLine(out, row, n, seed);
                });
}

void plain(benchmark::State &state, const std::string &name) {
    encode_page(state, page(name),
                [](unsigned char *out, unsigned char *row, size_t n, unsigned char *seed) {
                    return pclxl_ref::delta_row_plain(out, row, n, seed);
                });
}

void compare(benchmark::State &state, const std::string &name) {
    const Page &p = page(name);
    if (!have(state, p))
        return;
    const size_t row = p.row();
    std::vector<unsigned char> zero(row, 0);
    for (auto _ : state) {
        int acc = std::memcmp(p.data(), zero.data(), row) != 0;
        for (size_t r = 1; r < p.height; ++r)
            acc += std::memcmp(p.data() + r * row, p.data() + (r - 1) * row, row) != 0;
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
        int ok = pclxl_write_bitmap_data(0, p.data(), kWidth, kHeight, p.row(), 24, 0, 0, kWidth,
                                         kHeight);
        benchmark::DoNotOptimize(ok);
    }
    pclxl_init(nullptr, nullptr);
    state.counters["out_MB"] = static_cast<double>(g_sink_bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

// The R,G,B path of the const call: the page is only read (R,G,B rows go
// to the encoder as they lie), so it can be shared with the other runs.
void write_pixels_rgb(benchmark::State &state, const std::string &name) {
    const Page &p = page(name);
    if (!have(state, p))
        return;
    const auto w = static_cast<unsigned>(p.width), h = static_cast<unsigned>(p.height);
    pclxl_init(nullptr, count_bytes);
    for (auto _ : state) {
        g_sink_bytes = 0;
        int ok = pclxl_write_pixels(PCLXL_PIXELS_RGB24, p.data(), w, h, p.row(), 0, 0, w, h);
        benchmark::DoNotOptimize(ok);
    }
    pclxl_init(nullptr, nullptr);
    state.counters["out_MB"] = static_cast<double>(g_sink_bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

void copy(benchmark::State &state, const std::string &name) {
    const Page &src = page(name);
    if (!have(state, src))
        return;
    std::vector<unsigned char> dst(src.size(), 1); // touched once so that pages are mapped
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
        GetOutputStream() << "\nEvery page: write_pixels R,G,B against memcpy of the page and "
                             "DeltaOneLine against plain\n(pages whose rows change in most bytes "
                             "but not all: photograph, scan, camera [>= 0.35 of memcpy]):\n";
        for (const char *p : kPages) {
            const std::string name = p;
            ratio("memcpy/" + name, "write_pixels_rgb/" + name,
                  "  " + name + ": write_pixels at %.2f of memcpy\n");
            ratio("plain/" + name, "DeltaOneLine/" + name,
                  "  " + name + ": DeltaOneLine %.2fx faster than plain\n");
        }
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
    for (const char *page_name : kPages) {
        const std::string p = page_name;
        benchmark::RegisterBenchmark(("DeltaOneLine/" + p).c_str(), fast, p)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("plain/" + p).c_str(), plain, p)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("memcmp/" + p).c_str(), compare, p)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("write_pixels_rgb/" + p).c_str(), write_pixels_rgb, p)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("memcpy/" + p).c_str(), copy, p)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("write_bitmap_data/photo", write_bitmap)
        ->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
