// The PDF branch of pclxl convert. Built with PDF support, this file links
// MuPDF through pclxl_pdf, which makes the pclxl tool AGPL-3.0-or-later.
#include "convert_pdf.h"

#include <cstdio>
#include <cstring>

#include "job_writer.h"
#include "pclxl.h"
#ifdef PCLXL_HAVE_PDF
#include "pdf_job.h"
#include "text_line.h"
#endif

namespace pclxl_tool {

namespace {
const char kCommand[] = "convert";
}

const char kPdfOptionsHelp[] =
    "PDF input (one file):\n"
    "  --pages RANGES       pages to print, e.g. 1-3,7,10- (default: all)\n"
    "  --no-fit             centre each page at its own size (default: fit the paper)\n"
    "  --raster             send each page as one image instead of vectors\n"
    "  --region-dpi N       render what the printer cannot draw (transparency, soft\n"
    "                       masks, shadings) at N pixels per inch, 18 to 1200\n"
    "                       (default: the job's resolution; never above it)\n"
    "  without --paper, each page goes on the known paper nearest its size\n";

OptionResult take_pdf_option(const char *command, int argc, char **argv, int &i, PdfOptions &pdf) {
    const char *arg = argv[i];
    if (!std::strcmp(arg, "--paper")) {
        pdf.paper_given = true;
        return OptionResult::NotMine;
    }
    const bool wants_value = !std::strcmp(arg, "--pages") || !std::strcmp(arg, "--region-dpi");
    if (wants_value && i + 1 >= argc) {
        std::fprintf(stderr, "pclxl %s: %s needs a value\n", command, arg);
        return OptionResult::Error;
    }
    if (!std::strcmp(arg, "--pages")) {
        pdf.pages = argv[i + 1];
    } else if (!std::strcmp(arg, "--no-fit")) {
        pdf.fit = false;
    } else if (!std::strcmp(arg, "--raster")) {
        pdf.raster = true;
    } else if (!std::strcmp(arg, "--region-dpi")) {
        if (!parse_number(command, "region-dpi", argv[i + 1], 18, 1200, pdf.region_dpi))
            return OptionResult::Error;
    } else {
        return OptionResult::NotMine;
    }
    i += wants_value ? 2 : 1;
    return OptionResult::Taken;
}

bool is_pdf_input(const std::vector<std::string> &inputs) {
    if (inputs.empty() || inputs[0] == "-")
        return false;
    std::FILE *f = std::fopen(inputs[0].c_str(), "rb");
    if (!f)
        return false;
    unsigned char head[1024];
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    for (size_t i = 0; i + 5 <= n; ++i)
        if (!std::memcmp(head + i, "%PDF-", 5))
            return true;
    return false;
}

#ifdef PCLXL_HAVE_PDF

namespace {

// The converter's lines quote the document (names, engine messages).
void print_line(const char *line, void *) {
    std::fprintf(stderr, "pclxl convert: %s\n", pclxl_host::one_line(line).c_str());
}

void print_warning(const char *line, void *) {
    std::fprintf(stderr, "pclxl convert: warning: %s\n", pclxl_host::one_line(line).c_str());
}

} // namespace

int convert_pdf(const std::vector<std::string> &inputs, JobOptions &opts, const PdfOptions &pdf) {
    if (inputs.size() != 1) {
        std::fprintf(stderr, "pclxl convert: a PDF must be the only input\n");
        return 2;
    }
    opts.default_title(inputs[0]);
    pclxl::pdf::JobOptions job;
    static_cast<pclxl_host::Job &>(job) = opts;
    if (!pdf.paper_given)
        job.paper = nullptr; // each page on the paper nearest its size
    job.fit_to_paper = pdf.fit;
    job.page_ranges = pdf.pages;
    job.vector = !pdf.raster;
    job.region_dpi = static_cast<int>(pdf.region_dpi);
    job.verbose = opts.verbose;
    if (opts.verbose)
        job.message = print_line;
    job.warning = print_warning;

    JobWriter out(kCommand, opts);
    if (!out.begin_whole_job())
        return 1;
    pclxl::pdf::JobStats stats;
    std::string error;
    const int rc = pclxl::pdf::write_job(inputs[0].c_str(), job, &stats, &error);
    // A stream gets every good page of a job that failed, ended cleanly;
    // a file is only replaced by a complete job.
    const bool ok = out.finish_whole_job(rc == 0);
    if (rc != 0)
        std::fprintf(stderr, "pclxl convert: %s: %s\n", pclxl_host::one_line(inputs[0]).c_str(),
                     pclxl_host::one_line(error).c_str());
    return rc != 0 || !ok ? 1 : 0;
}

#else

int convert_pdf(const std::vector<std::string> &, JobOptions &, const PdfOptions &) {
    std::fprintf(stderr, "pclxl convert: this build has no PDF support\n");
    return 1;
}

#endif

} // namespace pclxl_tool
