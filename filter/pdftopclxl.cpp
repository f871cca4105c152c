// pdftopclxl: CUPS filter from PDF to a PJL + PCL XL job with vector paths,
// bitmap-font text and images.
//
//   pdftopclxl job-id user title copies options [file]
//
// Reads the PDF from `file` or standard input and writes the job to standard
// output. The job's options come from the PPD's marked choices (its defaults
// and the job's options); the printer makes the copies. With the PPD option
// pclxlRender=Raster each page is sent as one image instead.
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
#include "media_names.h"
#include "pclxl.h"
#include "pdf_job.h"
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

const char *marked(ppd_file_t *ppd, const char *keyword) {
    ppd_choice_t *choice = ppd ? ppdFindMarkedChoice(ppd, keyword) : nullptr;
    return choice ? choice->choice : nullptr;
}

bool is_true(const char *value) {
    return value &&
           (!strcasecmp(value, "true") || !strcasecmp(value, "on") || !strcasecmp(value, "yes"));
}

// Job options from the PPD's marked choices and the job's own options.
pclxl::pdf::JobOptions job_options(char **argv, ppd_file_t *ppd, int num_options,
                                   cups_option_t *options) {
    pclxl::pdf::JobOptions o;
    o.title = argv[3];
    o.user = argv[2];
    long copies = std::strtol(argv[4], nullptr, 10);
    o.copies = copies < 1 ? 1 : copies > 65535 ? 65535 : static_cast<uint32_t>(copies);

    if (const char *size = marked(ppd, "PageSize")) {
        for (size_t i = 0; i < pclxl_media::kPaperCount; i++)
            if (!std::strcmp(pclxl_media::kPapers[i].ppd_name, size))
                o.paper = pclxl_media::kPapers[i].name;
    }
    const char *model = marked(ppd, "ColorModel");
    o.color = !(model && !strcasecmp(model, "Gray"));
    if (const char *mode = cupsGetOption("print-color-mode", num_options, options))
        o.color = std::strcmp(mode, "monochrome") != 0;

    const char *duplex = marked(ppd, "Duplex");
    if (duplex && !std::strcmp(duplex, "DuplexNoTumble"))
        o.duplex = "long-edge";
    else if (duplex && !std::strcmp(duplex, "DuplexTumble"))
        o.duplex = "short-edge";

    if (const pclxl_media::Tray *tray = pclxl_media::find_tray(marked(ppd, "InputSlot")))
        o.media_source = tray->name;
    if (const pclxl_media::MediaType *type = pclxl_media::find_media_type(marked(ppd, "MediaType")))
        o.media_type = type->name;
    if (const char *res = marked(ppd, "Resolution")) {
        int dpi = std::atoi(res);
        if (dpi == 300 || dpi == 600 || dpi == 1200)
            o.resolution = dpi;
    }
    const char *handling = cupsGetOption("multiple-document-handling", num_options, options);
    o.collate = is_true(cupsGetOption("Collate", num_options, options)) ||
                is_true(marked(ppd, "Collate")) ||
                (handling && !std::strcmp(handling, "separate-documents-collated-copies"));
    if (const char *ranges = cupsGetOption("page-ranges", num_options, options))
        o.page_ranges = ranges;
    const char *scaling = cupsGetOption("print-scaling", num_options, options);
    if (is_true(cupsGetOption("nofit-to-page", num_options, options)) ||
        (scaling && !std::strcmp(scaling, "none")))
        o.fit_to_paper = false;
    const char *render = marked(ppd, "pclxlRender");
    if (const char *option = cupsGetOption("pclxlRender", num_options, options))
        render = option;
    o.vector = !(render && !strcasecmp(render, "Raster"));
    o.cancel = &g_cancel;
    o.message = on_message;
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
    std::fprintf(stderr, "DEBUG: Job: %s, paper %s, %s, %s, %u copies%s, %d dpi, %s\n",
                 one_line(job.title, 200).c_str(),
                 job.paper.empty() ? "from the page" : job.paper.c_str(),
                 job.color ? "color" : "gray", job.duplex.c_str(), job.copies,
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
