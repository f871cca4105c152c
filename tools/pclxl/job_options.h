// Job options shared by the subcommands that write print jobs (testpage,
// convert, text), and the job writer that turns them into library calls.
#ifndef PCLXL_TOOL_JOB_OPTIONS_H
#define PCLXL_TOOL_JOB_OPTIONS_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "media_names.h"

namespace pclxl_tool {

// The units per inch of every job the tool writes. The library's paper
// sizes are in pixels at this resolution, and the PJL header asks for it.
constexpr int kResolution = 600;

// A paper the tool can lay out: one of the shared papers with a sheet
// size, known to the job header and to get_paper_pixel_pclxl().
using Paper = pclxl_media::Paper;

struct JobOptions {
    const Paper *paper = nullptr; // set by the parser; A4 by default
    std::string media_type = "plain";
    std::string tray = "auto";
    bool color = true;
    std::string duplex = "simplex"; // simplex, long-edge or short-edge
    uint32_t copies = 1;
    bool collate = false;
    std::string output; // "" until -o; "-" is standard output
    bool verbose = false;

    JobOptions();
    // Printable area in pixels (the page origin is its top-left corner)
    // and the margins that centre it on the sheet.
    int32_t area_width() const;
    int32_t area_height() const;
    int margin_x() const;
    int margin_y() const;
    // One line describing the options, for the test page.
    std::string describe() const;
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

// Writes one job through the library to a file or standard output. The
// file is written under a temporary name and renamed only by finish(), so
// a job that fails leaves no output file. The library's trace lines go to
// /dev/null unless the options ask for them (--verbose).
class JobWriter {
  public:
    JobWriter(const char *command, const JobOptions &opts) : command_(command), opts_(opts) {}
    ~JobWriter();
    JobWriter(const JobWriter &) = delete;
    JobWriter &operator=(const JobWriter &) = delete;

    // Opens the output, writes the PJL header and opens the session.
    // Prints an error and returns false when the output cannot be opened.
    bool begin();
    // Opens a page set up from the options; the origin is the printable
    // area's top-left corner. Also reports progress on a terminal.
    void begin_page();
    void end_page();
    // Closes the session and the job, renames the file into place.
    // @return false (with an error line) when writing failed.
    bool finish();
    // Drops the output: the temporary file is removed.
    void abort();
    // Where the tool's own messages go while the job is being written.
    FILE *err() const { return err_ ? err_ : stderr; }
    int pages() const { return pages_; }

  private:
    void restore_stderr();

    const char *command_;
    const JobOptions &opts_;
    FILE *out_ = nullptr;
    std::string temp_path_;
    int saved_stderr_ = -1;
    FILE *err_ = nullptr;
    int pages_ = 0;
    bool progress_ = false;
    bool done_ = false;
};

} // namespace pclxl_tool

#endif
