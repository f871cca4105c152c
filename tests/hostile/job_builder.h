// A whole job written through the library, for the hostile-input tests,
// and the reader's verdict on any bytes.
#ifndef PCLXL_TESTS_HOSTILE_JOB_BUILDER_H
#define PCLXL_TESTS_HOSTILE_JOB_BUILDER_H

#include <functional>
#include <string>

#include "capture.h"
#include "reader.h"

namespace hostile {

// A job with every kind of command: PJL header, session, a page with
// graphics state, a path, a 24-bit image, a bitmap font and text; then the
// trailer. `page_body` (when given) replaces the page's drawing, and
// `header` the job header call.
pclxl_test::Bytes build_job(const std::function<void()> &page_body = {},
                            const std::function<void()> &header = {});

struct Verdict {
    bool ok = false;
    pclxl_reader::Error error;
    pclxl_reader::Summary summary;
};
Verdict read(const pclxl_test::Bytes &bytes);

} // namespace hostile

#endif
