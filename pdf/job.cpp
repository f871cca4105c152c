// The job loop: plays each selected page of a document into PCL XL through
// the library's public calls. Paths stay paths, text becomes downloaded
// bitmap fonts, images are placed by their matrix, and what the printer
// language cannot express is rendered to an image of its region. A page
// that fails is dropped whole; the job ends after the last good page.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "converter.h"
#include "layout.h"
#include "output.h"
#include "pclxl.hpp"

namespace pclxl::pdf {

namespace {

struct Setup {
    const pclxl_media::Paper *paper = nullptr; // null: per page
    const char *duplex = "simplex";
    const char *media_type = "Plain";
    int media_source = 1;
    pclxl_host::PageRanges ranges;
};

// Whether the end-of-file marker is in the file's last 4 KB. The engine
// looks for the pointer to the cross-reference table only in the last
// kilobyte; a little more is allowed here for data after the marker, as
// some producers and uploads leave (padding, a second line end). Not
// anywhere in the file: a linearized file has a marker near its start too.
bool end_marker_near_end(const unsigned char *data, size_t size) {
    static const char kMarker[] = "%%EOF";
    const size_t n = sizeof kMarker - 1;
    const size_t from = size > 4096 ? size - 4096 : 0;
    for (size_t i = size >= n ? size - n + 1 : 0; i-- > from;)
        if (!std::memcmp(data + i, kMarker, n))
            return true;
    return false;
}

bool check_options(const JobOptions &o, Setup &s, std::string &error) {
    if (o.resolution != 300 && o.resolution != 600 && o.resolution != 1200) {
        error = "resolution must be 300, 600 or 1200, not " + std::to_string(o.resolution);
        return false;
    }
    if (o.render_dpi < 18 || o.render_dpi > 1200) {
        error = "render resolution must be 18 to 1200, not " + std::to_string(o.render_dpi);
        return false;
    }
    if (o.region_dpi != 0 && (o.region_dpi < 18 || o.region_dpi > 1200)) {
        error = "region resolution must be 18 to 1200, not " + std::to_string(o.region_dpi);
        return false;
    }
    s.paper = o.paper;
    s.duplex = o.duplex_mode();
    s.media_type = o.page_media_type();
    if (!o.tray) {
        error = "no tray";
        return false;
    }
    s.media_source = o.tray->media_source;
    if (o.copies < 1 || o.copies > 65535) {
        error = "copies must be 1 to 65535";
        return false;
    }
    if (!pclxl_host::parse_page_ranges(o.page_ranges, s.ranges)) {
        error = "bad page ranges '" + o.page_ranges + "'";
        return false;
    }
    return true;
}

void say(const JobOptions &o, const std::string &line) {
    if (o.message)
        o.message(line.c_str(), o.message_user);
}

// Pages in a row that cannot be read before the rest of the document is
// given up.
constexpr int kMaxUnreadablePages = 8;

void warn(const JobOptions &o, const std::string &line) {
    if (o.warning)
        o.warning(line.c_str(), o.message_user);
    else
        say(o, line);
}

// The engine's warnings: all of them with --verbose, else only the first
// (a damaged file repaired, a font replaced), so the user learns why a page
// may look different without a flood of lines.
struct Warnings {
    const JobOptions *options;
    int count = 0;
};

void forward_warning(const char *line, void *user) {
    Warnings *w = static_cast<Warnings *>(user);
    if (w->options->verbose || w->count++ == 0)
        say(*w->options, std::string("PDF warning: ") + line);
}

int convert(const unsigned char *data, size_t size, const JobOptions &options, JobStats *stats_out,
            std::string *error_out) {
    JobStats stats;
    std::string error;
    Setup setup;
    auto finish = [&](int rc) {
        if (stats_out)
            *stats_out = stats;
        if (error_out)
            *error_out = rc ? error : std::string();
        return rc;
    };
    if (!check_options(options, setup, error))
        return finish(1);
    Warnings warnings{&options}; // outlives the document, which may still warn
    std::unique_ptr<Document> doc;
    try {
        doc = open_document(data, size, EngineLimits(), forward_warning, &warnings, error);
    } catch (const std::exception &e) {
        error = std::string("cannot open the PDF: ") + e.what();
    }
    if (!doc)
        return finish(1);
    // A file cut short opens once the engine has rebuilt its cross-reference
    // table from what arrived, and would print that as if it were the whole.
    if (options.refuse_cut_short && doc->repaired() && !end_marker_near_end(data, size)) {
        stats.cut_short = true;
        error = "the PDF is incomplete: its data ends before the end of the file";
        return finish(1);
    }

    std::unique_ptr<Output> output;
    try {
        output = std::make_unique<Output>(options);
    } catch (const std::exception &) {
        error = "out of memory";
        return finish(1);
    }
    Output &out = *output;
    const pclxl_media::Paper *first_paper = setup.paper;

    bool header = false;
    bool told_repaired = false;
    int rc = 0, failed_pages = 0, blank_pages = 0, unreadable_run = 0;
    // Said once, as soon as the engine has had to repair the file (on
    // opening, or later when a page's objects are looked up).
    auto tell_repaired = [&] {
        if (!told_repaired && doc->repaired()) {
            told_repaired = true;
            warn(options, "the PDF is damaged and was repaired; pages may be incomplete");
        }
    };
    tell_repaired();
    try {
        Converter conv(*doc, options, stats);
        const int count = doc->page_count();
        for (int index = 0; index < count; ++index) {
            if (options.cancel && *options.cancel)
                break; // cancelled: the job ends after the last whole page
            if (!setup.ranges.contains(index + 1))
                continue;
            const std::string page_name = "page " + std::to_string(index + 1) + ": ";
            double w = 0, h = 0;
            std::string page_error;
            if (!doc->page_size(index, w, h, page_error)) {
                tell_repaired();
                ++failed_pages;
                error = page_name + page_error;
                // A page tree that claims more pages than it holds ends here.
                if (++unreadable_run > kMaxUnreadablePages) {
                    warn(options, "page " + std::to_string(index + 1) +
                                      " and on: left out, the page tree cannot be read (" +
                                      page_error + ")");
                    break;
                }
                warn(options, page_name + "left out, it cannot be read (" + page_error + ")");
                continue;
            }
            unreadable_run = 0;
            const pclxl_media::Paper *paper =
                setup.paper ? setup.paper : pclxl_host::nearest_paper(w, h);
            if (!header) {
                if (!first_paper)
                    first_paper = paper;
                pclxl_job_settings job = options.settings();
                job.paper_name = first_paper->name;
                pclxl_start_job_with(&job);
                pclxl_begin_session(static_cast<uint16_t>(options.resolution),
                                    static_cast<uint16_t>(options.resolution));
                pclxl_open_datasource();
                header = true;
            }
            const size_t page_start = out.pending.size();
            const Placement place =
                place_page(w, h, *paper, options.resolution, options.fit_to_paper);
            pclxl_begin_page(0, 0, setup.duplex, paper->name,
                             paper->code_known_everywhere ? paper->media_size_code : -1,
                             setup.media_type, setup.media_source, 0, 0, 0.0f, 0.0f);
            if (place.rotated) {
                _pclxl_set_pageOrigin16(static_cast<unsigned short>(place.frame_origin_x), 0);
                _pclxl_set_pageRotation(270);
            }
            conv.begin_page();
            conv.set_page_area(place.sheet);
            // The raster route: the whole page as one image.
            auto raster_page = [&] {
                Pixels px;
                const double scale = std::min(1.0, double(options.render_dpi) / options.resolution);
                if (!doc->render_page(index, place.ctm, place.sheet, scale, px, page_error))
                    return false;
                conv.place_pixels(
                    px,
                    {place.sheet.x1 - place.sheet.x0, 0, 0, place.sheet.y1 - place.sheet.y0, 0, 0},
                    false, {});
                return true;
            };
            // What the page changes beyond its bytes, undone if it fails.
            const Converter::Snapshot before = conv.snapshot();
            bool ok;
            if (options.vector) {
                // A survey of the page's regions first: it writes nothing.
                conv.begin_survey();
                std::string survey_error;
                doc->run_page(index, place.ctm, place.sheet, conv, survey_error);
                conv.end_survey();
                ok = doc->run_page(index, place.ctm, place.sheet, conv, page_error);
            } else {
                ok = raster_page();
            }
            tell_repaired();
            for (const std::string &note : doc->take_notes())
                warn(options, page_name + note);
            if (!ok) {
                // Nothing of it can be drawn: the page goes, the job goes on.
                out.pending.resize(page_start);
                conv.restore(before);
                warn(options, page_name + "left out, it cannot be drawn (" + page_error + ")");
                ++failed_pages;
                error = page_name + page_error;
                continue;
            }
            if (doc->repaired() && conv.page_objects() == 0)
                ++blank_pages;
            pclxl_end_page(options.collate, static_cast<uint16_t>(options.copies));
            ++stats.pages;
            if (options.verbose)
                say(options, "page " + std::to_string(index + 1) + ": " + conv.page_summary());
            out.flush();
        }
    } catch (const std::exception &e) {
        error = e.what();
        rc = 1;
    }
    if (blank_pages > 0)
        warn(options, std::to_string(blank_pages) + (blank_pages == 1 ? " page is" : " pages are") +
                          " blank: the file is damaged or cut short");
    if (header && stats.pages > 0) {
        // Drop a page left open by a failure, then end the job cleanly.
        pclxl_close_datasource();
        pclxl_end_session();
        pclxl_end_job();
        out.flush();
    } else {
        out.pending.clear();
        if (rc == 0 && stats.pages == 0 && !(options.cancel && *options.cancel)) {
            const int count = doc->page_count();
            if (failed_pages > 0)
                error = failed_pages == 1 ? error : "no page can be drawn; " + error;
            else
                error = count == 0 ? "the PDF has no pages that can be read"
                                   : "no pages selected (the PDF has " + std::to_string(count) +
                                         (count == 1 ? " page)" : " pages)");
            rc = 1;
        }
    }
    output.reset();
    if (options.verbose && rc == 0)
        say(options, std::to_string(stats.pages) + " pages, " + std::to_string(stats.fonts) +
                         " fonts, " + std::to_string(stats.glyphs) + " glyphs, " +
                         std::to_string(stats.images) + " images, " + std::to_string(stats.paths) +
                         " paths, " + std::to_string(stats.fallback_regions) + " fallback regions");
    return finish(rc);
}

} // namespace

int write_job_from_memory(const unsigned char *data, size_t size, const JobOptions &options,
                          JobStats *stats, std::string *error) {
    return convert(data, size, options, stats, error);
}

int write_job(const char *path, const JobOptions &options, JobStats *stats, std::string *error) {
    std::FILE *f = std::fopen(path, "rb");
    if (!f) {
        if (error)
            *error = std::string("cannot open '") + path + "': " + std::strerror(errno);
        if (stats)
            *stats = JobStats();
        return 1;
    }
    std::vector<unsigned char> data;
    unsigned char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    const bool bad = std::ferror(f);
    std::fclose(f);
    if (bad) {
        if (error)
            *error = std::string("cannot read '") + path + "'";
        if (stats)
            *stats = JobStats();
        return 1;
    }
    return convert(data.data(), data.size(), options, stats, error);
}

} // namespace pclxl::pdf
