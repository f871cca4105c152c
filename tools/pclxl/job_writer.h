// The job writer of the subcommands that write print jobs: the library's
// output to a file, a device, a FIFO or standard output, page by page.
#ifndef PCLXL_TOOL_JOB_WRITER_H
#define PCLXL_TOOL_JOB_WRITER_H

#include <string>
#include <sys/types.h>

#include "job_options.h"

namespace pclxl_tool {

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
