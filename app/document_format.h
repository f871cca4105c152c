// What a document's first bytes say it is, where PAPPL's own checks end.
// Nothing here knows PAPPL.
#ifndef PCLXL_APP_DOCUMENT_FORMAT_H
#define PCLXL_APP_DOCUMENT_FORMAT_H

#include <cstddef>

namespace pclxl_app {

// True when `size` bytes (the start of a document, possibly cut inside a
// character) are plain UTF-8 text: printable characters, tabs, line ends and
// form feeds only. Printer languages (they start with an escape or hold
// binary data) and empty input are not text.
bool looks_like_text(const unsigned char *data, size_t size);

// True when a PDF file's header ("%PDF-") is within its first kilobyte.
bool looks_like_pdf(const unsigned char *data, size_t size);

} // namespace pclxl_app

#endif
