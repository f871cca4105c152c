#include "model_quirks.h"

namespace pclxl_app {

pclxl_host::Quirks quirks_for_model(const std::string &make_and_model) {
    static const pclxl_host::QuirkTable table = pclxl_host::load_quirks();
    return pclxl_host::quirks_for(table, make_and_model);
}

} // namespace pclxl_app
