#include "driver.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

#include "device_id.h"
#include "job_device.h"
#include "model_quirks.h"
#include "printer_link.h"
#include "test_page.h"
#include "text_line.h"

namespace pclxl_app {

pappl_pr_driver_t kDrivers[] = {
    {"pclxl_color", "Generic PCL XL colour laser",
     "MFG:Generic;MDL:PCL XL Color Laser;CMD:PJL,PCLXL;", nullptr},
    {"pclxl_mono", "Generic PCL XL monochrome laser", "MFG:Generic;MDL:PCL XL Laser;CMD:PJL,PCLXL;",
     nullptr},
};
const int kDriverCount = sizeof kDrivers / sizeof kDrivers[0];

namespace {

// What a laser printer cannot print around the sheet: 4.23 mm (1/6 inch)
// on every side, in hundredths of a millimetre.
constexpr int kMargin = 423;

// Jobs that PAPPL itself repeats once per copy.
bool host_makes_copies(pappl_job_t *job) {
    const char *format = papplJobGetFormat(job);
    return format && (!std::strcmp(format, "image/jpeg") || !std::strcmp(format, "image/png"));
}

int64_t thread_cpu_ns() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

// The state of one job between the callbacks.
struct JobData {
    explicit JobData(pappl_job_t *job, pappl_device_t *device)
        : writer(device_sink, device, job_message, job), cpu_at_start(thread_cpu_ns()) {}
    PageWriter writer;
    pclxl_host::Job setup;
    // CPU time of the job's thread: all of it, and the part spent in the
    // driver's callbacks (the rest is PAPPL reading and preparing rows).
    int64_t cpu_at_start;
    int64_t driver_cpu = 0;
};

// Adds the CPU time of one callback to the driver's share.
class DriverTime {
  public:
    explicit DriverTime(JobData *data) : data_(data), start_(thread_cpu_ns()) {}
    ~DriverTime() {
        if (data_)
            data_->driver_cpu += thread_cpu_ns() - start_;
    }

  private:
    JobData *data_;
    int64_t start_;
};

JobData *job_data(pappl_job_t *job) { return static_cast<JobData *>(papplJobGetData(job)); }

// A "raw" job: the file goes to the printer unchanged.
bool print_file(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *given) {
    pappl_device_t *device = job_device(job, given);
    if (!device)
        return false;
    const char *name = papplJobGetFilename(job);
    const int fd = name ? open(name, O_RDONLY) : -1;
    if (fd < 0) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to open the print file.");
        job_device_done(job, false);
        return false;
    }
    unsigned char buffer[16384];
    ssize_t n;
    bool ok = link_job_start(job, device);
    while (ok && (n = read(fd, buffer, sizeof buffer)) > 0)
        ok = device_sink(buffer, static_cast<size_t>(n), device);
    close(fd);
    ok = link_job_end(job, device, ok);
    return job_device_done(job, ok);
}

// Identify-Printer: the printer shows the message on its panel.
void identify(pappl_printer_t *printer, pappl_identify_actions_t, const char *message) {
    DeviceTurn turn(printer);
    pappl_device_t *device = turn.held() ? papplPrinterOpenDevice(printer) : nullptr;
    if (!device)
        return;
    char text[64];
    std::snprintf(text, sizeof text, "%s", message && *message ? message : "Hello");
    for (char *c = text; *c; c++)
        if (*c < ' ' || *c > '~' || *c == '"')
            *c = ' ';
    char pjl[160];
    const int n = std::snprintf(pjl, sizeof pjl,
                                "\x1b%%-12345X@PJL RDYMSG DISPLAY=\"%s\"\r\n\x1b%%-12345X", text);
    papplDeviceWrite(device, pjl, static_cast<size_t>(n));
    papplDeviceFlush(device);
    papplPrinterCloseDevice(printer);
}

bool status(pappl_printer_t *printer) {
    link_printer_status(printer);
    return true;
}

const char *test_page(pappl_printer_t *printer, char *buffer, size_t size) {
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    const pappl_media_col_t &m = data.media_default;
    try {
        const std::string name = write_test_page(
            papplPrinterGetName(printer), data.make_and_model, m.size_width * 72.0 / 2540,
            m.size_length * 72.0 / 2540, m.left_margin * 72.0 / 2540);
        if (name.empty() || name.size() >= size)
            return nullptr;
        std::snprintf(buffer, size, "%s", name.c_str());
        return buffer;
    } catch (const std::exception &) {
        return nullptr;
    }
}

} // namespace

thread_local int device_error = 0;
thread_local uint64_t device_bytes = 0;

bool device_sink(const void *data, size_t length, void *device) {
    errno = 0;
    device_bytes += length;
    if (papplDeviceWrite(static_cast<pappl_device_t *>(device), data, length) >= 0)
        return true;
    device_error = errno ? errno : EIO;
    return false;
}

// The lines quote the document (names, the PDF engine's messages): cleaned
// so that none forges a log line of its own.
void job_message(const char *line, void *job) {
    papplLogJob(static_cast<pappl_job_t *>(job), PAPPL_LOGLEVEL_DEBUG, "%s",
                pclxl_host::one_line(line).c_str());
}

pclxl_host::Job job_setup(pappl_job_t *job, const pappl_pr_options_t *o) {
    pclxl_host::Job s;
    s.paper = pclxl_host::paper_for_hmm(o->media.size_width, o->media.size_length);
    if (const pclxl_host::MediaType *type = pclxl_host::media_type_for_pwg(o->media.type))
        s.media_type = type;
    if (const pclxl_host::Tray *tray = pclxl_host::tray_for_pwg(o->media.source))
        s.tray = tray;
    s.color = o->print_color_mode == PAPPL_COLOR_MODE_COLOR;
    s.sides = o->sides == PAPPL_SIDES_TWO_SIDED_LONG_EDGE    ? pclxl_host::Sides::LongEdge
              : o->sides == PAPPL_SIDES_TWO_SIDED_SHORT_EDGE ? pclxl_host::Sides::ShortEdge
                                                             : pclxl_host::Sides::OneSided;
    s.copies = host_makes_copies(job) || o->copies < 1 ? 1 : static_cast<unsigned>(o->copies);
    // Copies are collated unless the job asks otherwise.
    const char *handling =
        ippGetString(papplJobGetAttribute(job, "multiple-document-handling"), 0, nullptr);
    s.collate = !handling || std::strcmp(handling, "separate-documents-uncollated-copies") != 0;
    if (const char *name = papplJobGetName(job))
        s.title = name;
    if (const char *user = papplJobGetUsername(job))
        s.user = user;
    // What the printer's model takes (model_quirks.h).
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
    s.make_and_model = data.make_and_model;
    const pclxl_host::Quirks quirks = quirks_for_model(s.make_and_model);
    pclxl_host::apply_quirks(quirks, s);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Quirks for \"%s\": %s", s.make_and_model.c_str(),
                pclxl_host::one_line(quirks.describe()).c_str());
    return s;
}

bool page_setup(const pappl_pr_options_t *o, const pclxl_host::Job &job, PageSetup *p) {
    const cups_page_header2_t &h = o->header;
    if (h.cupsBitsPerColor != 8 || h.cupsColorOrder != CUPS_ORDER_CHUNKED)
        return false;
    if (h.cupsBitsPerPixel == 24 &&
        (h.cupsColorSpace == CUPS_CSPACE_RGB || h.cupsColorSpace == CUPS_CSPACE_SRGB ||
         h.cupsColorSpace == CUPS_CSPACE_ADOBERGB))
        p->pixels = Pixels::Rgb;
    else if (h.cupsBitsPerPixel == 8 &&
             (h.cupsColorSpace == CUPS_CSPACE_W || h.cupsColorSpace == CUPS_CSPACE_SW))
        p->pixels = Pixels::Gray;
    else if (h.cupsBitsPerPixel == 8 && h.cupsColorSpace == CUPS_CSPACE_K)
        p->pixels = Pixels::Black;
    else
        return false;
    p->width = h.cupsWidth;
    p->height = h.cupsHeight;
    p->resolution_x = h.HWResolution[0];
    p->resolution_y = h.HWResolution[1];
    p->margin_left = o->media.left_margin;
    p->margin_top = o->media.top_margin;
    p->margin_right = o->media.right_margin;
    p->margin_bottom = o->media.bottom_margin;
    // The sheet is what the raster covers, whatever the job asked for.
    const pclxl_media::Paper *paper = nullptr;
    if (p->resolution_x && p->resolution_y)
        paper = pclxl_host::paper_for_hmm(
            static_cast<int>(uint64_t{h.cupsWidth} * 2540 / p->resolution_x),
            static_cast<int>(uint64_t{h.cupsHeight} * 2540 / p->resolution_y));
    p->paper = paper ? paper->name : "CUSTOM";
    if (paper && paper->media_size_code >= 0 && paper->code_known_everywhere) {
        p->media_size_code = paper->media_size_code;
        p->media_size_name = paper->name;
    }
    p->pclxl_media_type = job.page_media_type();
    p->media_source =
        quirks_for_model(job.make_and_model).media_source(job.tray->name, job.tray->media_source);
    p->duplex = job.duplex_mode();
    return true;
}

bool start_job(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *given) {
    pappl_device_t *device = job_device(job, given);
    if (!device)
        return false;
    if (!link_job_start(job, device)) {
        job_device_done(job, false);
        return false;
    }
    JobData *data = nullptr;
    try {
        data = new JobData(job, device);
        data->setup = job_setup(job, options);
        data->writer.start_job(data->setup);
    } catch (const std::exception &) {
        delete data;
        job_device_done(job, false);
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Out of memory.");
        return false;
    }
    papplJobSetData(job, data);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO,
                "PCL XL job \"%s\" for %s: paper %s, %s, tray %s, %s, %s, %u copies%s",
                data->setup.title.c_str(), data->setup.user.c_str(), data->setup.paper_name(),
                data->setup.media_type_name(), data->setup.tray->name,
                data->setup.color ? "colour" : "gray", data->setup.duplex_mode(),
                data->setup.copies, data->setup.collate ? " collated" : "");
    return true;
}

bool start_page(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *, unsigned page) {
    JobData *data = job_data(job);
    if (!data)
        return false;
    DriverTime timer(data);
    try {
        PageSetup setup;
        if (!page_setup(options, data->setup, &setup)) {
            papplLogJob(job, PAPPL_LOGLEVEL_ERROR,
                        "Page %u: raster of %u bits per pixel in colour space %u is not supported.",
                        page, options->header.cupsBitsPerPixel, options->header.cupsColorSpace);
            return false;
        }
        return data->writer.start_page(setup);
    } catch (const std::exception &) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Out of memory.");
        return false;
    }
}

bool write_line(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *, unsigned y,
                const unsigned char *line) {
    JobData *data = job_data(job);
    DriverTime timer(data);
    return data && data->writer.write_row(y, line);
}

bool end_page(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *given, unsigned) {
    JobData *data = job_data(job);
    if (!data)
        return false;
    DriverTime timer(data);
    const bool canceled = papplJobIsCanceled(job);
    const bool ok = data->writer.end_page(canceled);
    papplDeviceFlush(job_device(job, given));
    // PAPPL counts each page once; the printer prints it once per copy.
    if (ok && !canceled && data->setup.copies > 1)
        papplJobSetImpressionsCompleted(job, static_cast<int>(data->setup.copies) - 1);
    return ok;
}

bool end_job(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *given) {
    JobData *data = job_data(job);
    if (!data)
        return false;
    bool ok;
    {
        DriverTime timer(data);
        ok = data->writer.end_job();
        papplDeviceFlush(job_device(job, given));
    }
    ok = link_job_end(job, job_device(job, given), ok);
    const int64_t total = thread_cpu_ns() - data->cpu_at_start;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO,
                "PCL XL job: %u pages, %llu bytes%s; CPU: driver %.1f ms, PAPPL %.1f ms.",
                data->writer.pages(), static_cast<unsigned long long>(data->writer.bytes()),
                papplJobIsCanceled(job) ? ", cancelled" : "", data->driver_cpu / 1e6,
                (total - data->driver_cpu) / 1e6);
    papplJobSetData(job, nullptr);
    delete data;
    // A page that failed has already aborted the job.
    return job_device_done(job, ok && papplJobGetState(job) != IPP_JSTATE_ABORTED) && ok;
}

bool driver_callback(pappl_system_t *, const char *driver_name, const char *, const char *,
                     pappl_pr_driver_data_t *d, ipp_t **attributes, void *) {
    const bool color = !std::strcmp(driver_name, "pclxl_color");
    if (!color && std::strcmp(driver_name, "pclxl_mono") != 0)
        return false;

    d->printfile_cb = print_file;
    d->rstartjob_cb = start_job;
    d->rstartpage_cb = start_page;
    d->rwriteline_cb = write_line;
    d->rendpage_cb = end_page;
    d->rendjob_cb = end_job;
    d->identify_cb = identify;
    d->status_cb = status;
    d->testpage_cb = test_page;
    // Anything that is not a format PAPPL or the PDF filter reads goes to
    // the printer unchanged.
    d->format = "application/octet-stream";

    std::snprintf(d->make_and_model, sizeof d->make_and_model, "%s",
                  color ? kDrivers[0].description : kDrivers[1].description);
    d->ppm = 20;
    d->ppm_color = color ? 20 : 0;
    d->kind = PAPPL_KIND_DOCUMENT | PAPPL_KIND_ENVELOPE;
    d->has_supplies = true;
    d->orient_default = IPP_ORIENT_PORTRAIT;
    d->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
    d->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;

    if (color) {
        d->color_supported =
            PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_COLOR | PAPPL_COLOR_MODE_MONOCHROME;
        d->color_default = PAPPL_COLOR_MODE_AUTO;
        d->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8 | PAPPL_PWG_RASTER_TYPE_SRGB_8;
    } else {
        d->color_supported = PAPPL_COLOR_MODE_MONOCHROME;
        d->color_default = PAPPL_COLOR_MODE_MONOCHROME;
        d->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    }
    d->content_default = PAPPL_CONTENT_AUTO;
    d->quality_default = IPP_QUALITY_NORMAL;
    d->scaling_default = PAPPL_SCALING_AUTO;

    // The printer duplexes by itself: back sides come in the page's own
    // orientation.
    d->duplex = PAPPL_DUPLEX_NORMAL;
    d->sides_supported =
        PAPPL_SIDES_ONE_SIDED | PAPPL_SIDES_TWO_SIDED_LONG_EDGE | PAPPL_SIDES_TWO_SIDED_SHORT_EDGE;
    d->sides_default = PAPPL_SIDES_ONE_SIDED;

    // print-quality draft, normal and high pick the first, middle and last.
    static const int resolutions[] = {300, 600, 1200};
    d->num_resolution = 3;
    for (int i = 0; i < 3; i++)
        d->x_resolution[i] = d->y_resolution[i] = resolutions[i];
    d->x_default = d->y_default = 600;

    d->left_right = kMargin;
    d->bottom_top = kMargin;
    using pclxl_host::kPwgMediaTypeCount;
    using pclxl_host::kPwgMediaTypes;
    using pclxl_host::kPwgPaperCount;
    using pclxl_host::kPwgPapers;
    using pclxl_host::kPwgSourceCount;
    using pclxl_host::kPwgSources;
    d->num_media = static_cast<int>(kPwgPaperCount);
    for (size_t i = 0; i < kPwgPaperCount; i++)
        d->media[i] = kPwgPapers[i].pwg;
    // PAPPL adds "auto" to the trays itself (a second one would show twice):
    // the default media comes from it, the others name real trays.
    d->num_source = 0;
    for (size_t i = 0; i < kPwgSourceCount; i++) {
        if (!std::strcmp(kPwgSources[i].pwg, "auto"))
            continue;
        d->source[d->num_source] = kPwgSources[i].pwg;
        pappl_media_col_t &m = d->media_ready[d->num_source++];
        std::snprintf(m.size_name, sizeof m.size_name, "%s", kPwgPapers[0].pwg);
        pwg_media_t *pwg = pwgMediaForPWG(kPwgPapers[0].pwg);
        m.size_width = pwg->width;
        m.size_length = pwg->length;
        m.left_margin = m.right_margin = m.top_margin = m.bottom_margin = kMargin;
        std::snprintf(m.source, sizeof m.source, "%s", kPwgSources[i].pwg);
        std::snprintf(m.type, sizeof m.type, "%s", kPwgMediaTypes[0].pwg);
    }
    d->media_default = d->media_ready[0];
    std::snprintf(d->media_default.source, sizeof d->media_default.source, "auto");
    d->num_type = static_cast<int>(kPwgMediaTypeCount);
    for (size_t i = 0; i < kPwgMediaTypeCount; i++)
        d->type[i] = kPwgMediaTypes[i].pwg;

    *attributes = driver_attributes(driver_name);
    return true;
}

ipp_t *driver_attributes(const char *) {
    // What PAPPL does not add itself for IPP Everywhere clients.
    ipp_t *a = ippNew();
    static const char *const intents[] = {"auto", "perceptual", "relative"};
    ippAddStrings(a, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD),
                  "print-rendering-intent-supported", 3, nullptr, intents);
    ippAddString(a, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD),
                 "print-rendering-intent-default", nullptr, "auto");
    ippAddBoolean(a, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
    return a;
}

const char *autoadd_callback(const char *, const char *, const char *device_id, void *) {
    return driver_for_device_id(device_id ? device_id : "");
}

void create_callback(pappl_printer_t *printer, void *) {
    link_printer_created(printer);
    // Levels are unknown (-2), and the names say so, until a network
    // printer tells them (printer_link.cpp).
    pappl_supply_t black{PAPPL_SUPPLY_COLOR_BLACK, "Black Toner (level unknown)", true, -2,
                         PAPPL_SUPPLY_TYPE_TONER};
    pappl_supply_t supplies[4] = {black, black, black, black};
    int count = 1;
    if (!std::strcmp(papplPrinterGetDriverName(printer), "pclxl_color")) {
        static const struct {
            pappl_supply_color_t color;
            const char *name;
        } colors[] = {{PAPPL_SUPPLY_COLOR_CYAN, "Cyan Toner (level unknown)"},
                      {PAPPL_SUPPLY_COLOR_MAGENTA, "Magenta Toner (level unknown)"},
                      {PAPPL_SUPPLY_COLOR_YELLOW, "Yellow Toner (level unknown)"}};
        for (const auto &c : colors) {
            supplies[count].color = c.color;
            std::snprintf(supplies[count].description, sizeof supplies[count].description, "%s",
                          c.name);
            count++;
        }
    }
    papplPrinterSetSupplies(printer, count, supplies);
}

bool print_document(pappl_job_t *job, pappl_device_t *device, const char *what,
                    const std::function<bool(pappl_pr_options_t *)> &print) {
    if (!link_job_start(job, device)) {
        job_device_done(job, false);
        return false;
    }
    pappl_pr_driver_data_t driver;
    papplPrinterGetDriverData(papplJobGetPrinter(job), &driver);
    pappl_pr_options_t *options = papplJobCreatePrintOptions(job, 0, driver.ppm_color > 0);
    if (!options) {
        job_device_done(job, false);
        return false;
    }
    bool ok = false;
    try {
        ok = print(options);
    } catch (const std::exception &e) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s: %s", what,
                    pclxl_host::one_line(e.what()).c_str());
    }
    papplJobDeletePrintOptions(options);
    ok = link_job_end(job, device, ok);
    return job_device_done(job, ok);
}

} // namespace pclxl_app
