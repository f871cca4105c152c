// PDF jobs: through the vector converter when the build has it, else
// rasterized by Ghostscript into a pipe and fed to the raster callbacks.
#include "pdf_filter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "document_format.h"
#include "driver.h"
#include "job_device.h"
#include "printer_link.h"
#include "text_line.h"

#if PCLXL_APP_WITH_PDF
#include "pdf_job.h"
#endif

namespace pclxl_app {
namespace {

// Each page is turned into PAPPL's own raster: the same callbacks then
// place it, keep the margins and make the copies.
bool rasterize(pappl_job_t *job, pappl_device_t *device, pappl_pr_options_t *options) {
    const cups_page_header2_t &h = options->header;
    const bool color = options->print_color_mode == PAPPL_COLOR_MODE_COLOR;
    std::vector<std::string> args = {
        "gs",
        "-q",
        "-dSAFER",
        "-dBATCH",
        "-dNOPAUSE",
        "-sDEVICE=pwgraster",
        "-sstdout=%stderr",
        "-dcupsBitsPerColor=8",
        color ? "-dcupsColorSpace=19" : "-dcupsColorSpace=18", // sRGB : sGray
        "-r" + std::to_string(h.HWResolution[0]) + "x" + std::to_string(h.HWResolution[1]),
        "-dDEVICEWIDTHPOINTS=" + std::to_string(h.cupsPageSize[0]),
        "-dDEVICEHEIGHTPOINTS=" + std::to_string(h.cupsPageSize[1]),
        "-dFIXEDMEDIA",
        "-dPDFFitPage",
    };
    if (options->first_page > 1)
        args.push_back("-dFirstPage=" + std::to_string(options->first_page));
    if (options->last_page < static_cast<unsigned>(INT_MAX))
        args.push_back("-dLastPage=" + std::to_string(options->last_page));
    args.push_back("-sOutputFile=-");
    args.push_back("-f");
    args.push_back(papplJobGetFilename(job));
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (pipe(pipe_fds)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to create a pipe: %s", std::strerror(errno));
        return false;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to start Ghostscript: %s",
                    std::strerror(errno));
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        return false;
    }
    if (pid == 0) {
        dup2(pipe_fds[1], 1);
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        execvp("gs", argv.data());
        _exit(127);
    }
    close(pipe_fds[1]);
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "Ghostscript (process %d) rasterizes at %ux%u dpi.",
                static_cast<int>(pid), h.HWResolution[0], h.HWResolution[1]);

    bool ok = true, started = false;
    unsigned page = 0;
    cups_raster_t *raster = cupsRasterOpen(pipe_fds[0], CUPS_RASTER_READ);
    std::vector<unsigned char> line;
    cups_page_header2_t page_header;
    while (ok && raster && !papplJobIsCanceled(job) &&
           cupsRasterReadHeader2(raster, &page_header)) {
        if (!started) {
            if (!(ok = start_job(job, options, device)))
                break;
            started = true;
        }
        options->header = page_header;
        page++;
        if (!(ok = start_page(job, options, device, page)))
            break;
        line.resize(page_header.cupsBytesPerLine);
        for (unsigned y = 0; y < page_header.cupsHeight && !papplJobIsCanceled(job); y++) {
            if (cupsRasterReadPixels(raster, line.data(), page_header.cupsBytesPerLine) !=
                page_header.cupsBytesPerLine) {
                papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u of the raster is cut off.", page);
                ok = false;
                break;
            }
            if (!(ok = write_line(job, options, device, y, line.data())))
                break;
        }
        if (!end_page(job, options, device, page))
            ok = false;
        papplJobSetImpressionsCompleted(job, 1);
    }
    if (started && !end_job(job, options, device))
        ok = false;
    if (raster)
        cupsRasterClose(raster);
    close(pipe_fds[0]);
    if (papplJobIsCanceled(job) || !ok)
        kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Ghostscript: %u pages, CPU %.1f ms, peak memory %ld KB.",
                page,
                usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 +
                    usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3,
                usage.ru_maxrss);
    if (!papplJobIsCanceled(job) && ok &&
        (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || page == 0)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Ghostscript could not read the PDF (status %d).",
                    status);
        ok = false;
    }
    papplJobSetImpressions(job, static_cast<int>(page));
    return ok;
}

#if PCLXL_APP_WITH_PDF
// What the converter left out (objects, pages) and damaged files.
void job_warning(const char *line, void *job) {
    papplLogJob(static_cast<pappl_job_t *>(job), PAPPL_LOGLEVEL_WARN, "PDF: %s",
                pclxl_host::one_line(line).c_str());
}

struct ConvertCall {
    pappl_job_t *job;
    pclxl::pdf::JobOptions options;
    pclxl::pdf::JobStats stats;
    std::string error;
};

bool convert(void *argument) {
    auto *call = static_cast<ConvertCall *>(argument);
    return pclxl::pdf::write_job(papplJobGetFilename(call->job), call->options, &call->stats,
                                 &call->error) == 0;
}

// The vector converter writes the whole job; copies, duplex and the PJL
// identity come from the same settings as for raster jobs.
bool convert_vector(pappl_job_t *job, pappl_device_t *device, pappl_pr_options_t *options) {
    ConvertCall call{job, {}, {}, {}};
    pclxl::pdf::JobOptions &o = call.options;
    static_cast<pclxl_host::Job &>(o) = job_setup(job, options);
    o.fit_to_paper = options->print_scaling != PAPPL_SCALING_NONE;
    o.resolution = options->printer_resolution[0];
    if (options->first_page > 1 || options->last_page < static_cast<unsigned>(INT_MAX))
        o.page_ranges = std::to_string(options->first_page) + "-" +
                        (options->last_page < static_cast<unsigned>(INT_MAX)
                             ? std::to_string(options->last_page)
                             : std::string());
    o.message = job_message;
    o.warning = job_warning;
    o.message_user = job;
    // PAPPL 1.3 takes a chunked upload that the client broke off as the
    // whole document, so a PDF cut short arrives here as a job like any
    // other: the converter refuses one that the engine had to repair and
    // whose end-of-file marker is missing from its tail.
    o.refuse_cut_short = true;

    PageWriter writer(device_sink, device, job_message, job);
    const bool ok = writer.write_whole_job(convert, &call);
    papplDeviceFlush(device);
    if (call.stats.cut_short) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "PDF: %s", pclxl_host::one_line(call.error).c_str());
        papplJobSetMessage(job, "The document is incomplete: its data ends before the end of the "
                                "PDF file (an upload cut short?); nothing was printed.");
        papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
        return false;
    }
    if (!ok && writer.bytes() == 0 && !papplJobIsCanceled(job)) {
        // Nothing was written: Ghostscript may still read the file.
        papplLogJob(job, PAPPL_LOGLEVEL_WARN, "PDF: %s; rasterizing with Ghostscript.",
                    pclxl_host::one_line(call.error).c_str());
        return rasterize(job, device, options);
    }
    if (!ok)
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "PDF: %s", pclxl_host::one_line(call.error).c_str());
    // Impressions count every copy the printer prints.
    const int impressions = call.stats.pages * static_cast<int>(std::max(1u, o.copies));
    papplJobSetImpressions(job, impressions);
    papplJobSetImpressionsCompleted(job, impressions);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "PDF: %d pages, %d paths, %d images, %d glyphs.",
                call.stats.pages, call.stats.paths, call.stats.images, call.stats.glyphs);
    return ok;
}
#endif

bool is_pdf_file(const char *name) {
    unsigned char head[1024];
    const int fd = name ? open(name, O_RDONLY) : -1;
    if (fd < 0)
        return false;
    const ssize_t n = read(fd, head, sizeof head);
    close(fd);
    return n > 0 && looks_like_pdf(head, static_cast<size_t>(n));
}

} // namespace

bool pdf_filter(pappl_job_t *job, pappl_device_t *given, void *) {
    // A job cancelled before it started has no file any more.
    if (!papplJobGetFilename(job) || papplJobIsCanceled(job))
        return papplJobIsCanceled(job);
    pappl_device_t *device = job_device(job, given);
    if (!device)
        return false;
    if (!is_pdf_file(papplJobGetFilename(job))) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The document is not a PDF file.");
        papplJobSetMessage(job, "The document's content is not PDF, the format it was sent as "
                                "(application/pdf); nothing was printed.");
        papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
        job_device_done(job, false);
        return false;
    }
    return print_document(job, device, "PDF", [&](pappl_pr_options_t *options) {
#if PCLXL_APP_WITH_PDF
        return convert_vector(job, device, options);
#else
        return rasterize(job, device, options);
#endif
    });
}

} // namespace pclxl_app
