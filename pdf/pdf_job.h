// PDF to PCL XL: the converter's entry points, shared by `pclxl convert`, the
// CUPS filter `pdftopclxl` and the printer application. Everything that knows
// about PDF lives below this header; callers see only job options and a
// result.
#ifndef PCLXL_PDF_JOB_H
#define PCLXL_PDF_JOB_H

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>

#include "job.h"

namespace pclxl::pdf {

// The job (paper, media, sides, copies, page ranges, ...) and how to
// convert it. A job without a paper puts each page on the known paper
// nearest its own size.
struct JobOptions : pclxl_host::Job {
    // Scale each page to fit the chosen paper (as CUPS's fit-to-page does);
    // without it a page is centred at its own size.
    bool fit_to_paper = true;
    // Vector output (paths, bitmap-font text, images); false renders each
    // page to one image instead.
    bool vector = true;
    // Whole pages on the raster route, and turned images, are rendered at
    // this many pixels per inch (18 to 1200; never above the resolution).
    // Lower makes smaller, faster and coarser jobs.
    int render_dpi = 300;
    // Regions the printer cannot draw (transparency, soft masks, shadings)
    // are rendered at this many pixels per inch; 0: the job's resolution.
    int region_dpi = 0;
    // Called once per message line (no newline); nullptr: nothing reported.
    void (*message)(const char *line, void *user) = nullptr;
    void *message_user = nullptr;
    // Called once per warning line, with message_user: an object or a page
    // left out, a damaged document the engine repaired, pages a cut file
    // left nearly blank. Always reported; nullptr: they go to `message`.
    void (*warning)(const char *line, void *user) = nullptr;
    bool verbose = false; // also report per-page statistics
    // When it becomes non-zero (a signal handler sets it), the current page
    // is finished and the job ended there.
    const volatile sig_atomic_t *cancel = nullptr;
    // Refuse a file whose data was cut short (an upload that ended early):
    // one the engine had to repair that has no end-of-file marker ("%%EOF")
    // in its last 4 KB. Nothing is written and JobStats::cut_short is set.
    // A whole file with some data after its marker, or without the marker
    // but with a sound cross-reference table, is not refused.
    bool refuse_cut_short = false;
};

struct JobStats {
    int pages = 0;            // pages written
    int fallback_regions = 0; // areas rendered to an image
    int fonts = 0;            // bitmap fonts downloaded
    int glyphs = 0;           // glyphs downloaded
    int images = 0;           // images placed
    int paths = 0;            // paths painted
    bool cut_short = false;   // refused as cut short (refuse_cut_short)
};

// Writes one complete job (PJL header, session, every selected page, PJL
// trailer) through the library's writer in use on the calling thread.
// A bad object is left out of its page, and a page that cannot be drawn at
// all is left out of the job, each with a warning; the job goes on.
// Returns 0 when at least one page was written. Otherwise (or when the
// document cannot be opened, or the job was set up wrong) returns 1 with
// one line in `error`; what was written is always a complete job or
// nothing.
int write_job(const char *path, const JobOptions &options, JobStats *stats, std::string *error);
int write_job_from_memory(const unsigned char *data, size_t size, const JobOptions &options,
                          JobStats *stats, std::string *error);

} // namespace pclxl::pdf

#endif
