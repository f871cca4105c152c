// The MIME filter for plain text jobs.
#ifndef PCLXL_APP_TEXT_FILTER_H
#define PCLXL_APP_TEXT_FILTER_H

#include <pappl/pappl.h>

namespace pclxl_app {

bool text_filter(pappl_job_t *job, pappl_device_t *device, void *context);

} // namespace pclxl_app

#endif
