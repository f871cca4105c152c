// The device a job writes to, and the one rule that keeps it whole.
//
// PAPPL 1.3 opens a printer's device when it starts a job, and closes it
// (and forgets it) when the job's thread ends; for a file: device after
// every job, for others when no job is queued. It does both under the
// printer's lock, but a starting job looks at the device again only after
// releasing that lock. When the previous job's thread closes the device in
// between, the new job is ended at once as "completed", with nothing
// printed. PAPPL also starts threads for a job that is waiting without
// marking it, so a job can be started twice, or two jobs at once.
//
// So PAPPL's job threads pass through here (job_threads.cpp stands in front
// of PAPPL's own entry points), and the rule is:
//   On each printer, one job thread at a time runs PAPPL's job processing,
//   from its start (the device opened) to the end of its thread (the
//   device closed). The status and identify uses of a printer's device take
//   the same turn, and do without the device when a job has it.
// Every open and close of a printer's device then happens in the thread that
// relies on it. A thread that gets its turn for a job that is no longer
// waiting (it was started by another thread, cancelled or held meanwhile)
// leaves it as it is.
//
// A job whose printer writes to a file or folder opens that output itself
// (the file name PAPPL would use): in a folder it writes a hidden file that
// takes the job's name only when the job has ended well, so no half-written
// or failed output looks like a finished one. Other devices (sockets, USB,
// character devices, which may not take a second open) are written through
// PAPPL's device.
#ifndef PCLXL_APP_JOB_DEVICE_H
#define PCLXL_APP_JOB_DEVICE_H

#include <pappl/pappl.h>

namespace pclxl_app {

// At a job's first callback: the device to write to. NULL, after logging
// why, when the output cannot be opened. Later calls for the same job return
// the same device, whatever `given` is.
pappl_device_t *job_device(pappl_job_t *job, pappl_device_t *given);

// At a job's last callback: closes the output the job opened itself (and
// removes the file it made in a folder when `ok` is false and the job was not
// cancelled). Does nothing for a job without a device.
// Returns `ok`, or false when the device did not take everything the job
// wrote (its job-state-message then names the device's error).
bool job_device_done(pappl_job_t *job, bool ok);

// The printer's turn for a use of its device outside jobs (status,
// identify), taken without waiting: held() is false while a job has the
// printer, whose device is then busy anyway.
class DeviceTurn {
  public:
    explicit DeviceTurn(pappl_printer_t *printer);
    ~DeviceTurn();
    DeviceTurn(const DeviceTurn &) = delete;
    DeviceTurn &operator=(const DeviceTurn &) = delete;
    bool held() const { return held_; }

  private:
    bool held_;
};

// For job_threads.cpp: waits for the printer's turn, and gives it back.
void take_printer_turn(int printer_id);
void give_printer_turn();
// Whether the job reached the driver (job_device) in this thread since the
// turn was taken.
bool job_reached_driver(pappl_job_t *job);
// After PAPPL has ended a job that did not reach the driver: a job it
// aborted (no page in it, no way to print its format) leaves no empty file
// in a folder and says why.
void job_ended_before_driver(pappl_job_t *job);

} // namespace pclxl_app

#endif
