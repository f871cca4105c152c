// The server's way out of PAPPL 1.3's lock-order deadlock.
//
// When a client's upload fails (a raster job refused because the printer is
// busy, a client gone mid-upload), PAPPL write-locks the printer and the job,
// then the system. Get-Printer-Attributes and the state save read-lock the
// system, then the printer. One of each at the same moment wait for each
// other for ever: no request on that printer is answered again and the
// server cannot stop (save_guard.h keeps the save out of it; the requests
// cannot be changed from outside PAPPL).
//
// The watchdog asks, every few seconds from a thread of its own, for each
// printer's state the way those requests do. When no answer comes for the
// limit (PCLXL_APP_WATCHDOG_SECONDS, 120 by default, 0 turns it off), it logs
// why and starts the program again in the same process (same PID and
// arguments; every descriptor but standard input, output and error is
// closed first). The printers, defaults and jobs come back from the state
// file.
#ifndef PCLXL_APP_WATCHDOG_H
#define PCLXL_APP_WATCHDOG_H

#include <pappl/pappl.h>

namespace pclxl_app {

void start_watchdog(pappl_system_t *system);

} // namespace pclxl_app

#endif
