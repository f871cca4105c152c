// The device a job writes to.
//
// PAPPL 1.3 hands jobs the printer's device in ways that go wrong when jobs
// arrive close together, each of which made the server write to freed memory:
// - A printer's device is closed when a job ends, but only after the printer
//   has been marked idle and unlocked. A job that starts in that moment takes
//   the still open device, which the ending job then closes and frees.
// - Two requests can each start a job on an idle printer before either has
//   marked it busy: two jobs then run at once on the one device, or the same
//   job runs twice.
//
// So every job takes its device through here:
// - Jobs on one printer write one after the other: a job waits until the
//   printer's previous job is done.
// - A job whose printer writes to a file or folder opens that output itself
//   (the file name PAPPL would use) and closes it at its end, so the job
//   never writes to a device PAPPL has closed. Other devices (sockets, USB,
//   character devices, which may not take a second open) are written through
//   PAPPL's device.
// - A second start of a job that is printing, or has just printed, ends its
//   thread once the first is done, so the job is printed and ended once.
//   Both starts may wait for the printer's previous job; whichever comes
//   second ends, however they wake.
// - A start that comes after PAPPL has ended the job prints nothing and
//   reports the job done again. PAPPL opens (and empties) a folder printer's
//   file for it before any driver code runs, so the finished file steps
//   aside while that start runs (job_device_event) and comes back after.
// - The file a failed job made in a folder is removed: no half-written
//   output looks like a finished one.
#ifndef PCLXL_APP_JOB_DEVICE_H
#define PCLXL_APP_JOB_DEVICE_H

#include <pappl/pappl.h>

namespace pclxl_app {

// At a job's first callback: the device to write to, once the printer's
// previous job is done. NULL, after logging why, when the output cannot be
// opened or the previous job has not ended within 30 minutes. Later calls for
// the same job from the same thread return the same device, whatever `given`
// is. In a thread that started a job a second time, it does not return.
pappl_device_t *job_device(pappl_job_t *job, pappl_device_t *given);

// At a job's last callback: closes the output the job opened itself (and
// removes the file it made in a folder when `ok` is false and the job was not
// cancelled), and lets the printer's next job go on. Does nothing for a job
// without a device.
// Returns `ok`, or false when the device did not take everything the job
// wrote (its job-state-message then names the device's error).
bool job_device_done(pappl_job_t *job, bool ok);

// True in a start of a job that PAPPL has already ended once: the filter
// returns true at once, and the job stays as the first start left it.
bool job_printed_before(pappl_job_t *job);

// PAPPL's event callback (papplSystemSetEventCallback): keeps a folder
// printer's finished file out of the way of a late second start.
void job_device_event(pappl_system_t *system, pappl_printer_t *printer, pappl_job_t *job,
                      pappl_event_t event, void *data);

} // namespace pclxl_app

#endif
