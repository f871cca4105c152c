// Plain text jobs: UTF-8 text set in a downloaded bitmap font, one whole
// job written through the library with the job's paper, sides, copies,
// colour, resolution, title and user, as `pclxl text` prints it.
#include "text_filter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "document_format.h"
#include "driver.h"
#include "job_device.h"
#include "page_writer.h"
#include "printer_link.h"
#include "text_line.h"
#include "text_pages.h"

namespace pclxl_app {
namespace {

// Text jobs larger than this are refused rather than held in memory.
constexpr long kMaxTextBytes = 64L << 20;
// How much of the start decides whether the document is text.
constexpr size_t kSniffBytes = 4096;
// Blank space inside the printable area, at 600 dpi.
constexpr int kMargin = 300;

enum class Read { Ok, Failed, TooLarge };

Read read_file(const char *name, std::string &out) {
    FILE *f = std::fopen(name, "rb");
    if (!f)
        return Read::Failed;
    char buf[65536];
    size_t n;
    Read result = Read::Ok;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (out.size() + n > static_cast<size_t>(kMaxTextBytes)) {
            result = Read::TooLarge;
            break;
        }
        out.append(buf, n);
    }
    if (result == Read::Ok && std::ferror(f))
        result = Read::Failed;
    std::fclose(f);
    return result;
}

struct TextCall {
    pappl_job_t *job;
    pclxl_host::Job setup;
    const std::string *bytes;
    int pages;
    std::string error;
};

// Writes the whole job: PJL header, session, every page, trailer.
bool write_text(void *argument) {
    auto *call = static_cast<TextCall *>(argument);
    const pclxl_host::Job &job = call->setup;
    const int dpi = job.resolution;
    auto units = [dpi](int at_600) { return at_600 * dpi / 600; };

    pclxl_host::GlyphFont glyphs;
    std::string note;
    if (!glyphs.open(pclxl_host::kTextFamily, pclxl_host::kTextPoints, dpi, note, call->error))
        return false;
    if (!note.empty())
        papplLogJob(call->job, PAPPL_LOGLEVEL_WARN, "Text: %s", pclxl_host::one_line(note).c_str());
    pclxl_host::BitmapFont font(glyphs, "text", 100, dpi);

    int32_t area_w = 0, area_h = 0;
    get_paper_pixel_pclxl(job.paper->name, &area_w, &area_h);
    const int width = units(area_w) - 2 * units(kMargin);
    const int line_height = std::max(1, glyphs.line_height());
    const int lines = std::max(1, (units(area_h) - 2 * units(kMargin)) / line_height);
    std::vector<pclxl_host::TextPage> pages;
    pclxl_host::lay_out_text(pclxl_host::decode_utf8(*call->bytes), width, lines, font, pages);

    const pclxl_job_settings settings = job.settings();
    pclxl_start_job_with(&settings);
    pclxl_begin_session(static_cast<uint16_t>(dpi), static_cast<uint16_t>(dpi));
    pclxl_open_datasource();
    const int margin_x = (units(job.paper->sheet_width) - units(area_w)) / 2;
    const int margin_y = (units(job.paper->sheet_height) - units(area_h)) / 2;
    for (const pclxl_host::TextPage &page : pages) {
        if (papplJobIsCanceled(call->job))
            break;
        pclxl_begin_page(0, 0, job.duplex_mode(), job.paper->name, job.paper->media_size_code,
                         job.page_media_type(), job.tray->media_source,
                         static_cast<uint16_t>(margin_x), static_cast<uint16_t>(margin_y), 0.0f,
                         0.0f);
        pclxl_host::paint_text_page(font, page, units(kMargin), glyphs.ascent(), line_height);
        pclxl_end_page(job.collate, static_cast<uint16_t>(job.page_copies()));
        call->pages++;
    }
    pclxl_close_datasource();
    pclxl_end_session();
    pclxl_end_job();
    return true;
}

// The paper the text is laid out on: the job's when the library knows its
// printable area, else A4.
const pclxl_host::Paper *layout_paper(const pclxl_host::Paper *paper) {
    int32_t w = 0, h = 0;
    if (paper && paper->sheet_width > 0)
        get_paper_pixel_pclxl(paper->name, &w, &h);
    return w > 0 && h > 0 ? paper : pclxl_host::find_paper("A4");
}

bool print_text(pappl_job_t *job, pappl_device_t *device, pappl_pr_options_t *options,
                const std::string &bytes) {
    TextCall call{job, job_setup(job, options), &bytes, 0, {}};
    pclxl_host::Job &setup = call.setup;
    const pclxl_host::Paper *paper = layout_paper(setup.paper);
    if (paper != setup.paper)
        papplLogJob(job, PAPPL_LOGLEVEL_WARN,
                    "Text: the job's paper (%s) is not one text is "
                    "laid out on; printing on %s.",
                    setup.paper ? setup.paper->name : "custom size", paper->name);
    setup.paper = paper;
    const int dpi = options->printer_resolution[0];
    setup.resolution = dpi == 300 || dpi == 1200 ? dpi : 600;

    PageWriter writer(device_sink, device, job_message, job);
    const bool ok = writer.write_whole_job(write_text, &call) && call.error.empty();
    papplDeviceFlush(device);
    if (!call.error.empty())
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Text: %s",
                    pclxl_host::one_line(call.error).c_str());
    // Impressions count every copy the printer prints.
    const int impressions = call.pages * static_cast<int>(std::max(1u, setup.page_copies()));
    papplJobSetImpressions(job, impressions);
    papplJobSetImpressionsCompleted(job, impressions);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Text: %d pages, %s bytes.", call.pages,
                std::to_string(bytes.size()).c_str());
    return ok;
}

// Ends a job whose document cannot be printed as text, saying why.
bool refuse(pappl_job_t *job, const char *log, const char *message) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", log);
    papplJobSetMessage(job, "%s", message);
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
    job_device_done(job, false);
    return false;
}

} // namespace

bool text_filter(pappl_job_t *job, pappl_device_t *given, void *) {
    // A job cancelled before it started has no file any more.
    if (!papplJobGetFilename(job) || papplJobIsCanceled(job))
        return papplJobIsCanceled(job);
    pappl_device_t *device = job_device(job, given);
    if (!device)
        return false;
    std::string bytes;
    switch (read_file(papplJobGetFilename(job), bytes)) {
    case Read::Ok: break;
    case Read::Failed:
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to read the document: %s",
                    std::strerror(errno));
        job_device_done(job, false);
        return false;
    case Read::TooLarge:
        return refuse(job, "The text document is larger than 64 MB.",
                      "The text document is larger than 64 MB, more than this printer takes "
                      "as text; nothing was printed.");
    }
    const size_t sniff = std::min(bytes.size(), kSniffBytes);
    if (!looks_like_text(reinterpret_cast<const unsigned char *>(bytes.data()), sniff))
        return refuse(job, "The document is not plain UTF-8 text.",
                      "The document's content is not plain UTF-8 text, the format it was sent "
                      "as (text/plain); nothing was printed.");
    return print_document(job, device, "Text", [&](pappl_pr_options_t *options) {
        return print_text(job, device, options, bytes);
    });
}

} // namespace pclxl_app
