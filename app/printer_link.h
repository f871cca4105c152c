// The connection to a network printer (socket://HOST:PORT), and what the
// printer says back. The rest of the application sees only these hooks;
// the socket, the timeouts and the PJL conversation live behind them.
//
// Delivery:
// - The device connects when the job first writes, not when PAPPL opens it,
//   so a printer that cannot be reached never makes PAPPL stop the queue.
//   The job waits (printer-state-reasons "offline", the reason in
//   printer-alert-description and the job's job-state-message) and tries
//   again every retry-interval seconds until it connects, is cancelled or
//   the server shuts down.
// - Each connect attempt gives up after connect-timeout seconds.
// - A printer that takes no data for write-timeout seconds, while it reports
//   nothing that waits for a person (paper, jam, door), is marked offline
//   and the job is aborted: part of it may have printed, so it is not sent
//   again.
// - Cancel and SIGTERM end a write within a quarter of a second.
// Options in the device URI change the times (seconds), separated by commas
// (PAPPL 1.3's add refuses '&'):
//   socket://HOST:PORT/?connect-timeout=10,write-timeout=60,end-timeout=120,
//       retry-interval=5,answer-timeout=3,status-interval=10
// and where supply levels are asked over SNMP:
//   snmp-port=161,snmp-community=public
// With back-channel=device the PJL dialogue goes through PAPPL's device read
// and write instead of the socket directly, as it does for USB printers.
//
// Printers on PAPPL's own devices that read back (usb:, and the network
// schemes dnssd: and snmp:) have the same PJL dialogue and completion rule
// through papplDeviceRead and papplDeviceWrite, with two differences: the
// back channel is read before and after the job's data, not while it is
// written (a condition in the middle shows at the job's end), and each read
// waits as long as the device does (10 seconds for USB in PAPPL 1.3), so an
// answer timeout may last that long.
//
// PJL: before each job the printer is asked for INFO ID, CONFIG, STATUS and
// PAGECOUNT. A printer that answers nothing within answer-timeout at the
// first exchange is taken as silent for the server's life: its jobs are
// completed when sent, and their job-state-message says so. Other jobs are
// wrapped in a named PJL job with USTATUS DEVICE, JOB and PAGE on; the job
// is completed when the printer reports its end (or end-timeout passes, said
// in the message), and aborted with document-format-error when the printer
// reports a PCL XL error.
#ifndef PCLXL_APP_PRINTER_LINK_H
#define PCLXL_APP_PRINTER_LINK_H

#include <pappl/pappl.h>

namespace pclxl_app {

// Before the job's first byte. Does nothing (true) for devices that are not
// ours and for a job already started. False when the job is cancelled or the
// server stops before the printer could be reached.
bool link_job_start(pappl_job_t *job, pappl_device_t *device);
// After the job's last byte: waits for the printer's word on the job. Returns
// whether the job succeeded (`ok` for devices that are not ours). Only the
// first call for a job does anything.
bool link_job_end(pappl_job_t *job, pappl_device_t *device, bool ok);
// When PAPPL makes the printer: its web page "Printer Says" (status, model,
// lifetime page count, trays) for socket:// printers.
void link_printer_created(pappl_printer_t *printer);
// Between jobs (PAPPL's status callback): asks the printer for its status
// and its supply levels, at most every status-interval seconds, in a thread
// of its own.
void link_printer_status(pappl_printer_t *printer);
// After the server's main loop, before the system is deleted: waits (at most
// 30 s) for the status threads to end.
void link_shutdown();

} // namespace pclxl_app

#endif
