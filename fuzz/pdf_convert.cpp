// Property: the PDF converter takes any bytes without crashing or hanging;
// it either writes nothing (with an error) or a whole job that the reader
// accepts, and an error comes as one line. Links MuPDF through pclxl_pdf
// (AGPL-3.0-or-later).
#include <string>

#include "fuzz_input.h"
#include "pclxl.h"
#include "pdf_job.h"
#include "reader.h"

namespace {

void append(const void *buffer, unsigned int length, const void *context) {
    static_cast<std::string *>(const_cast<void *>(context))
        ->append(static_cast<const char *>(buffer), length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string out;
    pclxl::pdf::JobOptions options;
    // The first byte picks a few options, so that each path is reached.
    const uint8_t pick = size ? data[0] : 0;
    options.resolution = pick & 1 ? 300 : 600;
    options.color = !(pick & 2);
    options.vector = !(pick & 4);
    options.page_ranges = pick & 8 ? "1-3" : "";
    // Coarse renders: the same paths through the renderer at a fraction
    // of the cost, so that hundreds of inputs run a second.
    options.render_dpi = 18;
    pclxl_init(&out, append);
    pclxl::pdf::JobStats stats;
    std::string error;
    const int rc = pclxl::pdf::write_job_from_memory(data, size, options, &stats, &error);
    pclxl_init(nullptr, nullptr);
    FUZZ_CHECK(rc == 0 || rc == 1, "rc %d", rc);
    FUZZ_CHECK(rc == 0 || (!error.empty() && error.find('\n') == std::string::npos), "error '%s'",
               error.c_str());
    FUZZ_CHECK(out.empty() == (stats.pages == 0), "%zu bytes for %d pages", out.size(),
               stats.pages);
    if (!out.empty()) {
        pclxl_reader::Listener listener;
        pclxl_reader::Summary summary;
        pclxl_reader::Error read_error;
        pclxl_reader::Source source(out.data(), out.size());
        FUZZ_CHECK(pclxl_reader::read_job(source, listener, summary, read_error),
                   "job unreadable at %llu: %s", (unsigned long long)read_error.offset,
                   read_error.message.c_str());
        FUZZ_CHECK(summary.pages.size() == size_t(stats.pages), "%zu pages read, %d written",
                   summary.pages.size(), stats.pages);
    }
    return 0;
}
