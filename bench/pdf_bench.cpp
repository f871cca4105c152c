// The PDF converter's time per page, into a sink that only counts: the
// project's own sample documents (tests/pdf/data) and any PDFs named in
// PCLXL_BENCH_PDFS (colon-separated paths). Links MuPDF through pclxl_pdf
// (AGPL-3.0-or-later).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "pclxl.h"
#include "pdf_job.h"

namespace {

void count(const void *, unsigned int length, const void *context) {
    *static_cast<size_t *>(const_cast<void *>(context)) += length;
}

void convert(benchmark::State &state, const std::string &bytes) {
    size_t written = 0;
    pclxl_init(&written, count);
    pclxl::pdf::JobOptions options;
    int pages = 0;
    for (auto _ : state) {
        pclxl::pdf::JobStats stats;
        std::string error;
        if (pclxl::pdf::write_job_from_memory(reinterpret_cast<const unsigned char *>(bytes.data()),
                                              bytes.size(), options, &stats, &error) != 0) {
            state.SkipWithError(error.c_str());
            break;
        }
        pages = stats.pages;
    }
    pclxl_init(nullptr, nullptr);
    state.counters["pages"] = pages;
    state.counters["s/page"] =
        benchmark::Counter(double(pages) * state.iterations(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["bytes/page"] = pages ? double(written) / state.iterations() / pages : 0;
}

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> paths;
    for (const char *name : {"vector", "text", "image", "transparency", "sizes"})
        paths.push_back(std::string(PCLXL_PDF_DATA) + "/" + name + ".pdf");
    if (const char *extra = std::getenv("PCLXL_BENCH_PDFS")) {
        std::stringstream list(extra);
        for (std::string p; std::getline(list, p, ':');)
            if (!p.empty())
                paths.push_back(p);
    }
    for (const std::string &p : paths) {
        const std::string bytes = slurp(p);
        const std::string name = p.substr(p.find_last_of('/') + 1);
        benchmark::RegisterBenchmark(("convert/" + name).c_str(), [bytes](benchmark::State &s) {
            convert(s, bytes);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
