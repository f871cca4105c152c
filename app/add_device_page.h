// The web page "Add Printer by Device URI": a printer added by typing its
// device URI (socket://HOST:9100, usb://..., file:///DIRECTORY), for when
// PAPPL's Add Printer page does not list it, as without DNS-SD.
#ifndef PCLXL_APP_ADD_DEVICE_PAGE_H
#define PCLXL_APP_ADD_DEVICE_PAGE_H

#include <pappl/pappl.h>

namespace pclxl_app {

// Adds the page (at /adddevice) and its link to the system's web interface.
void add_device_page(pappl_system_t *system);

} // namespace pclxl_app

#endif
