// Where the library's bytes and lines go: the writer in use on the calling
// thread, else the process-wide sink of pclxl_init() and the process-wide
// message handler (stderr when none is set).
#ifndef PCLXL_STREAM_OUTPUT_H
#define PCLXL_STREAM_OUTPUT_H

#include "pclxl.h"

struct pclxl_writer {
    const void *context;
    pclxl_write_fn callback;
    pclxl_message_fn handler; // null: stderr
    void *user;
};

namespace pclxl {

// The writer in use on the calling thread, or null for the process-wide sink.
pclxl_writer *current_writer();

// One or more whole lines, printf style, each ending in '\n': to stderr
// unbuffered, or line by line (without the newline) to the handler in
// charge. @return what fprintf would return for the same text.
int say(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// "prefix: <text of errno>\n", as perror() would print it.
void say_errno(const char *prefix);

} // namespace pclxl

#endif
