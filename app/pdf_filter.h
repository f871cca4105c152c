// The MIME filter for PDF jobs.
#ifndef PCLXL_APP_PDF_FILTER_H
#define PCLXL_APP_PDF_FILTER_H

#include <pappl/pappl.h>

namespace pclxl_app {

bool pdf_filter(pappl_job_t *job, pappl_device_t *device, void *context);

} // namespace pclxl_app

#endif
