// The print job as every front end describes it: paper, tray, media type,
// sides, colour, resolution, copies, collation, title, user and page
// ranges. Each front end only parses its own syntax into a Job (command-line
// flags, CUPS options with the PPD, IPP attributes); the Job gives the
// library's job settings and is the base of the PDF converter's options.
// The lookups below are the only ones: by name, by PPD or PWG name, by size.
#ifndef PCLXL_HOST_JOB_H
#define PCLXL_HOST_JOB_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "media_names.h"
#include "pclxl.h"

namespace pclxl_host {

using pclxl_media::MediaType;
using pclxl_media::Paper;
using pclxl_media::Tray;

enum class Sides { OneSided, LongEdge, ShortEdge };

// The library's duplex text: "simplex", "duplex_long_edge" or
// "duplex_short_edge".
const char *duplex_mode(Sides sides);
// The short word: "simplex", "long-edge" or "short-edge".
const char *sides_word(Sides sides);

struct Job {
    // Null: none chosen; each page's own size decides (the raster's sheet,
    // or the known paper nearest a PDF page), and the PJL header says
    // CUSTOM.
    const Paper *paper = nullptr;
    // Null for a media type the catalog lacks: `other_media_type` then goes
    // to the printer as it is ("" for the printer's own default).
    const MediaType *media_type = &pclxl_media::kMediaTypes[0]; // plain
    std::string other_media_type;
    const Tray *tray = &pclxl_media::kTrays[0]; // auto
    Sides sides = Sides::OneSided;
    bool color = true;
    int resolution = 600; // 300, 600 or 1200
    unsigned copies = 1;  // made by the printer, 1 to 65535
    bool collate = false;
    std::string title;       // empty: the library's fixed text
    std::string user;        // empty: the library's fixed text
    std::string page_ranges; // "1-3,7,10-" (pages from 1); empty: every page
    // The printer's make and model as its PPD or the printer itself gives
    // it; empty for a generic printer. Per-model quirks are found by it.
    std::string make_and_model;
    // What that model takes (its quirks, quirks.h): JPEG image data, and
    // dash patterns of at most this many lengths (longer ones are cut).
    bool jpeg = true;
    int max_dash_entries = 20;

    // The library's job settings. Its texts point into this job and the
    // catalog: keep the job unchanged while they are used.
    pclxl_job_settings settings() const;
    // "simplex", "duplex_long_edge" or "duplex_short_edge".
    const char *duplex_mode() const { return pclxl_host::duplex_mode(sides); }
    // The media type's library name ("" for the printer's default) and its
    // text on a page ("Plain" for the default).
    const char *media_type_name() const;
    const char *page_media_type() const;
    // The paper's library name, or "CUSTOM".
    const char *paper_name() const;
    // Copies clamped to what the printer counts (1 to 65535).
    unsigned page_copies() const;
    // "paper A4, media plain, tray auto, colour, long-edge, 2 copies,
    // collated", for logs and the test page.
    std::string describe() const;
};

// Papers. By the library's name or the PPD keyword, in any case.
const Paper *find_paper(const char *name);
// By PWG self-describing name ("iso_a4_210x297mm"), for the sizes the
// printer application offers.
const Paper *paper_for_pwg(const char *pwg);
// By portrait size in points: the closest within 1.5 points either way.
const Paper *paper_for_size(double width_pt, double height_pt);
// The same for a size in hundredths of a millimetre (IPP's unit).
const Paper *paper_for_hmm(int width, int length);
// The paper every printer knows that is nearest a page of `width` x
// `height` points in either orientation; never null.
const Paper *nearest_paper(double width, double height);

// Media types and trays by the library's name (which is the PPD's), in any
// case, or by PWG keyword (exact). Null for an unknown or null name.
const MediaType *find_media_type(const char *name);
const MediaType *media_type_for_pwg(const char *pwg);
const Tray *find_tray(const char *name);
const Tray *tray_for_pwg(const char *pwg);

// Sides from any front end's word: the tool's (simplex, long-edge,
// short-edge), the PPD's Duplex (None, DuplexNoTumble, DuplexTumble), IPP's
// sides (one-sided, two-sided-long-edge, two-sided-short-edge) and the
// library's. False for anything else.
bool parse_sides(const char *word, Sides &sides);

// Page ranges in CUPS syntax ("1-3,7,10-"; pages count from 1). An empty
// text selects every page. False for anything else.
struct PageRanges {
    std::vector<std::pair<int, int>> ranges; // inclusive; second 0: to the end
    bool all = true;
    bool contains(int page) const;
};
bool parse_page_ranges(const std::string &text, PageRanges &out);

// A boolean option's value: true, on, yes (any case) or 1.
bool is_true(const char *value);

// The PWG names the printer application offers, with the library's name
// for each.
struct PwgName {
    const char *pwg;
    const char *library;
};
extern const PwgName kPwgPapers[];
extern const size_t kPwgPaperCount;
extern const PwgName kPwgMediaTypes[];
extern const size_t kPwgMediaTypeCount;
extern const PwgName kPwgSources[];
extern const size_t kPwgSourceCount;

} // namespace pclxl_host

#endif
