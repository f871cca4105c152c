// One server per spool directory: the server holds a lock on a file in it
// for as long as it runs.
#ifndef PCLXL_APP_SPOOL_LOCK_H
#define PCLXL_APP_SPOOL_LOCK_H

#include <string>

namespace pclxl_app {

// Takes the lock of `directory` (its file `name`) and writes this
// process's id into it. Returns the open descriptor that holds the lock
// (kept open until the process ends), or -1 with a sentence saying why in
// `why`: another server holds it (naming that server's process), or the
// directory cannot be written.
int lock_spool_directory(const std::string &directory, const std::string &name, std::string *why);

} // namespace pclxl_app

#endif
