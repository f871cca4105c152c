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

// At a job's last callback: closes the output the job opened itself and lets
// the printer's next job go on. Does nothing for a job without a device.
void job_device_done(pappl_job_t *job);

} // namespace pclxl_app

#endif
