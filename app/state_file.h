// The server's state file (printers, their defaults, the job history) on
// disk: replaced only by a whole new copy, and checked before it is read.
// Nothing here knows PAPPL; the server hands it the file PAPPL wrote.
#ifndef PCLXL_APP_STATE_FILE_H
#define PCLXL_APP_STATE_FILE_H

#include <string>
#include <string_view>

namespace pclxl_app {

// Why a state file's text is not a whole state, or "" when it is: it ends
// with a line end, has the system's lines, and every printer section is
// closed. `printers` (when not negative) is the number of printer sections
// it must hold.
std::string state_defect(std::string_view text, int printers = -1);

// Reads `path` into `text`; false with the reason in `why`.
bool read_whole_file(const std::string &path, std::string *text, std::string *why);

// Makes the freshly written `temporary` (in the same directory as `path`)
// the new `path`: checks it holds `printers` printers, flushes it to disk,
// renames it over `path` and flushes the directory. On failure `temporary`
// is removed, `path` is left as it was, and the reason is returned; "" on
// success.
std::string commit_state(const std::string &temporary, const std::string &path, int printers);

// Moves an unreadable state file out of the way, next to it, under a name
// with the date and time. Returns the new name, or "" (errno set).
std::string set_state_aside(const std::string &path);

} // namespace pclxl_app

#endif
