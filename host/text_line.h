// Text from outside the program on one line of a log or a status stream.
//
// A job's title and user, file names, a document's metadata and the PDF
// engine's messages (which quote names from the document) are all outside
// text. CUPS reads a filter's standard error line by line and obeys lines
// such as "STATE:" and "PPD:"; PAPPL's log and a terminal are read line by
// line too. Every front end passes such text through one_line() before it
// prints it, so no text can start a line of its own or send a terminal
// control sequence.
#ifndef PCLXL_HOST_TEXT_LINE_H
#define PCLXL_HOST_TEXT_LINE_H

#include <cstddef>
#include <string>

namespace pclxl_host {

// Replaces, in place, each control character by a blank: C0 (CR and LF
// among them), DEL, and C1 written as UTF-8 (U+0080 to U+009F, which some
// terminals take as escapes), plus the Unicode line and paragraph
// separators. Other bytes, valid UTF-8 or not, are kept.
void clean_text(char *text);
void clean_text(std::string &text);

// A cleaned copy of `text` (null gives ""), cut to at most `max_bytes`
// bytes without splitting a UTF-8 sequence; a cut text ends in "...".
std::string one_line(const char *text, size_t max_bytes = 1024);
std::string one_line(const std::string &text, size_t max_bytes = 1024);

// `text` without the white space (blanks, tabs, line ends) at either end:
// a word or value read from a file or from a printer.
std::string trim(const std::string &text);

} // namespace pclxl_host

#endif
