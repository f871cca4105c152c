// IEEE 1284 device IDs ("MFG:...;MDL:...;CMD:...;") and the driver each
// calls for. Knows nothing about PAPPL.
#ifndef PCLXL_APP_DEVICE_ID_H
#define PCLXL_APP_DEVICE_ID_H

#include <string>

namespace pclxl_app {

// The value of KEY in a device ID (keys compared without case; the long
// forms MANUFACTURER, MODEL, COMMAND SET count too); "" when absent.
std::string device_id_field(const std::string &id, const char *key);
// "pclxl_color" or "pclxl_mono" for a printer whose command set lists PCL XL
// (PCLXL, PCL6, PCL 6 or PCL-XL); null for any other. Colour when the model,
// description or class names it.
const char *driver_for_device_id(const std::string &id);
// The ID for a printer known only by its model name (from PJL INFO ID).
std::string device_id_for_model(const std::string &model);

} // namespace pclxl_app

#endif
