// Job options shared by the subcommands that write print jobs (testpage,
// convert, text): the tool's flags parsed into the job model.
#ifndef PCLXL_TOOL_JOB_OPTIONS_H
#define PCLXL_TOOL_JOB_OPTIONS_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "job.h"

namespace pclxl_tool {

// The units per inch of a job unless --dpi says otherwise. The library's
// paper sizes are in pixels at this resolution; the tool scales them.
constexpr int kResolution = 600;

// The job, with the tool's defaults (A4, colour, 600 dpi, the login name as
// user), and where it goes. The paper is always set: the tool lays out its
// pages on it.
struct JobOptions : pclxl_host::Job {
    std::string output; // "" until -o; "-" is standard output
    bool verbose = false;
    bool title_given = false; // --title or the default from an input

    // Sets the title from the first input's file name unless --title gave one.
    void default_title(const std::string &input);
    // Page units at the job's resolution for a length at 600 dpi.
    int units(int at_600) const { return at_600 * resolution / kResolution; }

    JobOptions();
    // Printable area in pixels at the job's resolution (the page origin is
    // its top-left corner) and the margins that centre it on the sheet.
    int32_t area_width() const;
    int32_t area_height() const;
    int margin_x() const;
    int margin_y() const;
};

enum class OptionResult { Taken, NotMine, Error };

// Looks at argv[i]. A job option (with its value, if it takes one) is
// stored in `opts`, `i` is moved past it and Taken is returned. Anything
// else gives NotMine and leaves `i` alone. A bad name or number prints an
// error listing the valid choices to stderr and gives Error (exit 2).
OptionResult take_job_option(const char *command, int argc, char **argv, int &i, JobOptions &opts);

// Help text for the job options, for the subcommands' usage lines.
extern const char kJobOptionsHelp[];

// Parses a positive integer option value; prints an error and returns
// false when `text` is not a whole number in [min, max].
bool parse_number(const char *command, const char *option, const char *text, long min, long max,
                  long &value);

} // namespace pclxl_tool

#endif
