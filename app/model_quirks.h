// The quirks of a printer model, from the quirks file read once (see
// host/quirks.h).
#ifndef PCLXL_APP_MODEL_QUIRKS_H
#define PCLXL_APP_MODEL_QUIRKS_H

#include <string>

#include "quirks.h"

namespace pclxl_app {

pclxl_host::Quirks quirks_for_model(const std::string &make_and_model);

} // namespace pclxl_app

#endif
