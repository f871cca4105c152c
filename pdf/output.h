// Output: pieces go to a buffer until a page is complete, so that a page
// that fails part way is dropped whole and the job ends cleanly after the
// last good page.
#ifndef PCLXL_PDF_OUTPUT_H
#define PCLXL_PDF_OUTPUT_H

#include <vector>

#include "pclxl.h"
#include "pdf_job.h"

namespace pclxl::pdf {

class Output {
  public:
    explicit Output(const JobOptions &options);
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    std::vector<unsigned char> pending;

    // Sends what is pending to the host's writer, unchanged.
    void flush();

  private:
    static void collect(const void *buffer, unsigned int length, const void *context);
    static void message(const char *line, void *user);

    const JobOptions &options_;
    pclxl_writer *writer_ = nullptr;
    pclxl_writer *host_ = nullptr;
};

} // namespace pclxl::pdf

#endif
