// What particular printer models need, from one data file that the printer
// application and the CUPS filters read (installed as
// share/pclxl/quirks.conf; PCLXL_QUIRKS names another file).
//
// The file is a list of rows. Each row starts with a model pattern in
// brackets, matched against the printer's make and model without regard to
// case ('*' any text, '?' one character); "[*]" matches every printer. Then
// "name = value" lines:
//   max-resolution = 600              dots per inch the model prints at most
//   media-types = plain, bond, labels only these media type names are sent;
//                                     others go as the printer's default
//   trays = auto:1 manual:2 tray-1:4  MediaSource number per tray name
//   jpeg = no                         the model takes no JPEG image data
//   rle-end-marker = no               no end marker after run-length data
//                                     (what this system writes holds no
//                                     run-length data, so it is always met)
//   max-dash-entries = 20             longest dash pattern
//   pjl-unsupported = USTATUS, INFO CONFIG   PJL commands it does not know
// '#' starts a comment. Every row whose pattern matches applies, in file
// order; a later row's value replaces an earlier one's.
#ifndef PCLXL_HOST_QUIRKS_H
#define PCLXL_HOST_QUIRKS_H

#include <map>
#include <string>
#include <vector>

#include "job.h"

namespace pclxl_host {

struct Quirks {
    std::vector<std::string> rows;        // the patterns that matched, in order
    int max_resolution = 0;               // 0: no limit
    std::vector<std::string> media_types; // empty: any
    std::map<std::string, int> trays;     // tray name -> MediaSource
    bool jpeg = true;
    bool rle_end_marker = true;
    int max_dash_entries = 0;                 // 0: no limit
    std::vector<std::string> pjl_unsupported; // upper case

    // Whether the model knows this PJL command ("USTATUS DEVICE=ON" is
    // unknown when "USTATUS" is listed).
    bool pjl_supported(const std::string &command) const;
    // The MediaSource number for a tray (by the library's name), or
    // `fallback`.
    int media_source(const std::string &tray, int fallback) const;
    // "rows [*] [Acme*]: max-resolution 600, media-types plain bond" for logs.
    std::string describe() const;
};

// A parsed file. Lines it cannot read are listed in `errors` ("line N: ...")
// and skipped.
struct QuirkTable {
    struct Row {
        std::string pattern;
        std::vector<std::pair<std::string, std::string>> values;
    };
    std::vector<Row> rows;
    std::vector<std::string> errors;
};
QuirkTable parse_quirks(const std::string &text);
// The file PCLXL_QUIRKS names, or the installed one; an empty table when it
// cannot be read.
QuirkTable load_quirks();
// The quirks of one model.
Quirks quirks_for(const QuirkTable &table, const std::string &make_and_model);
// The job as the model can take it: resolution at most the model's, a media
// type it does not know sent as the default, no JPEG where it takes none,
// dash patterns no longer than its maximum (the job's own 20 when shorter).
void apply_quirks(const Quirks &quirks, Job &job);

} // namespace pclxl_host

#endif
