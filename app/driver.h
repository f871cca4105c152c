// The printer application's drivers: what each printer offers, and the
// raster callbacks that turn PAPPL's pages into a PCL XL job.
#ifndef PCLXL_APP_DRIVER_H
#define PCLXL_APP_DRIVER_H

#include <cstdint>
#include <pappl/pappl.h>

#include <functional>

#include "page_writer.h"

namespace pclxl_app {

extern pappl_pr_driver_t kDrivers[];
extern const int kDriverCount;

bool driver_callback(pappl_system_t *system, const char *driver_name, const char *device_uri,
                     const char *device_id, pappl_pr_driver_data_t *data, ipp_t **attributes,
                     void *context);
// The capability attributes PAPPL does not make from the driver data.
ipp_t *driver_attributes(const char *driver_name);
const char *autoadd_callback(const char *device_info, const char *device_uri, const char *device_id,
                             void *context);
void create_callback(pappl_printer_t *printer, void *context);

// What the job's options say, for the PJL header.
pclxl_host::Job job_setup(pappl_job_t *job, const pappl_pr_options_t *options);
// The page's raster and media; false when the raster is not one the driver
// takes (8-bit gray or black, 24-bit RGB).
bool page_setup(const pappl_pr_options_t *options, const pclxl_host::Job &job, PageSetup *page);

// The raster callbacks; the PDF filter drives them too.
bool start_job(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
bool start_page(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                unsigned page);
bool write_line(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned y,
                const unsigned char *line);
bool end_page(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device, unsigned page);
bool end_job(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);

// A whole document that a filter prints (PDF, text) on the job's device:
// the printer link's start and end around `print`, which gets the job's print
// options; the device is then released with the result. An exception from
// `print` is logged after `what` and fails the job.
bool print_document(pappl_job_t *job, pappl_device_t *device, const char *what,
                    const std::function<bool(pappl_pr_options_t *)> &print);

// The device as the library's sink, and the job's log as its messages.
bool device_sink(const void *data, size_t length, void *device);
// Why the last write through device_sink() in this thread failed (an errno
// value), 0 when none has since the thread's job began.
extern thread_local int device_error;
// The bytes handed to device_sink() in this thread since its job began.
extern thread_local uint64_t device_bytes;
void job_message(const char *line, void *job);

} // namespace pclxl_app

#endif
