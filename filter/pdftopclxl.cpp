// pdftopclxl: CUPS filter from PDF to a PJL + PCL XL job with vector paths,
// bitmap-font text and images.
//
//   pdftopclxl job-id user title copies options [file]
//
// Reads the PDF from `file` or standard input and writes the job to standard
// output. The job's options come from the PPD's marked choices (its defaults
// and the job's options); the printer makes the copies. With the PPD option
// pclxlRender=Raster each page is sent as one image instead; with
// pclxlRegionResolution=150dpi (300dpi, 600dpi) what the printer cannot draw
// is rendered at that resolution rather than the job's.
#include <cups/cups.h>
#include <cups/ppd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <unistd.h>
#include <vector>

#include "cancel.h"
#include "pclxl.h"
#include "pdf_job.h"
#include "rastertopclxl.h"
#include "settings.h"
#include "text_line.h"

// The PPD interface is the only way to read a PPD's marked choices; libcups
// marks it deprecated in favour of IPP attributes, which a filter does not
// get.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

volatile sig_atomic_t g_cancel = 0;

void on_sigterm(int) { g_cancel = 1; }

// Text from outside (title, user, file names, the converter's messages,
// which quote the document) goes into CUPS's stderr protocol as one line.
using pclxl_host::one_line;

// Standard output, buffered; a failed write is remembered and reported once
// at the end.
struct Output {
    std::vector<unsigned char> buffer;
    int error = 0;

    void flush() {
        size_t done = 0;
        while (!error && done < buffer.size()) {
            ssize_t n = write(1, buffer.data() + done, buffer.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                error = n < 0 ? errno : EIO;
            else
                done += static_cast<size_t>(n);
        }
        buffer.clear();
    }

    static void on_write(const void *data, unsigned int length, const void *context) {
        auto *self = static_cast<Output *>(const_cast<void *>(context));
        const auto *bytes = static_cast<const unsigned char *>(data);
        if (self->buffer.size() + length > (1u << 16))
            self->flush();
        self->buffer.insert(self->buffer.end(), bytes, bytes + length);
    }
};

void on_message(const char *line, void *) {
    std::fprintf(stderr, "DEBUG: %s\n", one_line(line).c_str());
}

void on_warning(const char *line, void *) {
    std::fprintf(stderr, "WARNING: %s\n", one_line(line).c_str());
}

const char *marked(const char *keyword, void *ppd) {
    ppd_choice_t *choice =
        ppd ? ppdFindMarkedChoice(static_cast<ppd_file_t *>(ppd), keyword) : nullptr;
    return choice ? choice->choice : nullptr;
}

// Job options from the PPD's marked choices and the job's own options.
pclxl::pdf::JobOptions job_options(char **argv, ppd_file_t *ppd, int num_options,
                                   cups_option_t *options) {
    pclxl::pdf::JobOptions o;
    static_cast<pclxl_host::Job &>(o) =
        rastertopclxl::ppd_job(marked, ppd, num_options, options, argv[3], argv[2], argv[4]);
    if (ppd && ppd->nickname)
        o.make_and_model = ppd->nickname;
    const char *scaling = cupsGetOption("print-scaling", num_options, options);
    if (pclxl_host::is_true(cupsGetOption("nofit-to-page", num_options, options)) ||
        (scaling && !std::strcmp(scaling, "none")))
        o.fit_to_paper = false;
    const char *render = marked("pclxlRender", ppd);
    if (const char *option = cupsGetOption("pclxlRender", num_options, options))
        render = option;
    o.vector = !(render && !strcasecmp(render, "Raster"));
    // Regions the printer cannot draw: "150dpi" and the like, or the job's
    // resolution (Auto, or anything else).
    const char *regions = marked("pclxlRegionResolution", ppd);
    if (const char *option = cupsGetOption("pclxlRegionResolution", num_options, options))
        regions = option;
    const int region_dpi = regions ? std::atoi(regions) : 0;
    o.region_dpi = region_dpi >= 18 && region_dpi <= 1200 ? region_dpi : 0;
    o.cancel = &g_cancel;
    o.message = on_message;
    o.warning = on_warning;
    return o;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
        return 1;
    }
    catch_cancel(on_sigterm);

    cups_option_t *options = nullptr;
    int num_options = cupsParseOptions(argv[5], 0, &options);
    ppd_file_t *ppd = nullptr;
    if (const char *path = std::getenv("PPD")) {
        ppd = ppdOpenFile(path);
        if (ppd) {
            ppdMarkDefaults(ppd);
            cupsMarkOptions(ppd, num_options, options);
        } else {
            std::fprintf(stderr, "DEBUG: Unable to read the PPD \"%s\"; using defaults\n",
                         one_line(path, 200).c_str());
        }
    }
    pclxl::pdf::JobOptions job = job_options(argv, ppd, num_options, options);
    rastertopclxl::apply_model_quirks(job);
    std::fprintf(stderr, "DEBUG: Job: %s, paper %s, %s, %s, %u copies%s, %d dpi, %s\n",
                 one_line(job.title, 200).c_str(), job.paper ? job.paper->name : "from the page",
                 job.color ? "color" : "gray", pclxl_host::sides_word(job.sides), job.copies,
                 job.collate ? " collated" : "", job.resolution, job.vector ? "vector" : "raster");

    Output out;
    pclxl_init(&out, Output::on_write);
    pclxl_set_message_handler(on_message, nullptr);
    pclxl::pdf::JobStats stats;
    std::string error;
    int status;
    if (argc == 7) {
        status = pclxl::pdf::write_job(argv[6], job, &stats, &error);
    } else {
        // A pipe has no size to map: the whole document is read first.
        std::vector<unsigned char> data;
        unsigned char chunk[65536];
        ssize_t n;
        while ((n = read(0, chunk, sizeof chunk)) != 0) {
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                std::fprintf(stderr, "ERROR: Unable to read the PDF: %s\n", std::strerror(errno));
                return 1;
            }
            data.insert(data.end(), chunk, chunk + n);
        }
        status = pclxl::pdf::write_job_from_memory(data.data(), data.size(), job, &stats, &error);
    }
    out.flush();
    if (status != 0)
        std::fprintf(stderr, "ERROR: %s\n", one_line(error, 200).c_str());
    if (out.error) {
        std::fprintf(stderr, "ERROR: Unable to write the job: %s\n", std::strerror(out.error));
        status = 1;
    }
    if (stats.pages > 0)
        std::fprintf(stderr, "PAGE: total %d\n", stats.pages * static_cast<int>(job.copies));
    std::fprintf(stderr,
                 "DEBUG: %d pages, %d paths, %d images, %d fonts with %d glyphs, %d regions "
                 "rendered\n",
                 stats.pages, stats.paths, stats.images, stats.fonts, stats.glyphs,
                 stats.fallback_regions);
    if (ppd)
        ppdClose(ppd);
    cupsFreeOptions(num_options, options);
    return status;
}
