// Saving the server's state without PAPPL 1.3's lock-order deadlock.
//
// papplSystemSaveState() read-locks the system, then each printer, then each
// job. When a client's upload fails (a raster job refused because the printer
// is busy, or a client gone mid-upload), PAPPL write-locks the printer and
// the job, then the system. A save between those two steps waits for the
// printer while holding the system, the client waits for the system while
// holding the printer, and the server stops answering for good.
//
// The save therefore first takes a read lock on every printer that has jobs
// (the only printers a client can be storing a job for), without holding the
// system. A client already on its failure path finishes first; none can
// start one until the save is over. PAPPL's locks read-lock recursively, so
// the save itself then runs as before.
#ifndef PCLXL_APP_SAVE_GUARD_H
#define PCLXL_APP_SAVE_GUARD_H

#include <pappl/pappl.h>

namespace pclxl_app {

// Calls `save(system, argument)` with the printers held as above; returns
// its result.
bool save_with_printers_held(pappl_system_t *system,
                             bool (*save)(pappl_system_t *system, void *argument), void *argument);

} // namespace pclxl_app

#endif
