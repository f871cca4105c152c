// Job options shared by the subcommands that write print jobs (testpage,
// convert, text), and the job writer that turns them into library calls.
#ifndef PCLXL_TOOL_JOB_OPTIONS_H
#define PCLXL_TOOL_JOB_OPTIONS_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "media_names.h"

namespace pclxl_tool {

// The units per inch of a job unless --dpi says otherwise. The library's
// paper sizes are in pixels at this resolution; the tool scales them.
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
    int dpi = kResolution;    // the job's resolution: 300, 600 or 1200
    std::string title, user;  // for the job header; "" until given
    bool title_given = false; // --title or the default from an input

    // Sets the title from the first input's file name unless --title gave one.
    void default_title(const std::string &input);
    // Page units at the job's resolution for a length at 600 dpi.
    int units(int at_600) const { return at_600 * dpi / kResolution; }

    JobOptions();
    // Printable area in pixels at the job's resolution (the page origin is
    // its top-left corner) and the margins that centre it on the sheet.
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

// Writes one job through the library to where -o points. Each page's bytes
// are held until the page is complete, so the output never ends inside a
// page:
//  - standard output ("-", or a path naming it), a device, a FIFO or a
//    socket is written directly, page by page;
//  - a regular file (through any links) is written under a temporary name
//    in its directory and renamed over it by finish(), keeping its
//    permissions; where that directory takes no new file (or the path is a
//    link to nothing yet), the job is kept in an unnamed temporary file and
//    copied in by finish().
// So a job that fails leaves a file untouched, and a stream ends cleanly
// after its last good page. The library's lines are dropped unless the
// options ask for them (--verbose); nothing touches the standard
// descriptors.
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
    // Ends the page and sends it to the output.
    void end_page();
    // Closes the session and the job and puts a file into place.
    // @return false (with an error line) when writing failed.
    bool finish();
    // An input failed. A stream is ended cleanly after the last complete
    // page (or gets nothing, before the first); a file is left as it was.
    // The caller prints the one message and exits 1.
    void abort();
    int pages() const { return pages_; }

    // For a producer of whole jobs (the PDF converter), which writes the
    // header, the pages and the trailer itself and hands over its bytes
    // only at page ends: opens the output and installs the sink without
    // writing anything. finish_whole_job() sends what was written and puts
    // a file into place; with `complete` false a file is left as it was.
    bool begin_whole_job();
    bool finish_whole_job(bool complete);

    static void on_write(const void *buffer, unsigned int length, const void *context);
    static void on_message(const char *line, void *writer);

  private:
    enum class Target { Stream, Replace, Copy };
    bool open_output();
    bool start_output();
    void flush();
    bool put_in_place();
    bool close_output();
    void end_library();

    const char *command_;
    const JobOptions &opts_;
    Target target_ = Target::Stream;
    int fd_ = -1;
    std::string path_;      // the file that finish() replaces or fills
    std::string temp_path_; // the named temporary file of Target::Replace
    mode_t mode_ = 0;       // for the new file
    std::string pending_;   // the bytes of the page being written
    int error_ = 0;         // errno of the first failed write
    int pages_ = 0;
    bool progress_ = false;
    bool open_ = false;
    bool whole_job_ = false; // pieces go straight out (begin_whole_job)
};

} // namespace pclxl_tool

#endif
