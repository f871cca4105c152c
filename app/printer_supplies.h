// Supply levels of a network printer over SNMP (the Printer MIB's marker
// supplies), into PAPPL's supplies. net-snmp is used only in
// printer_supplies.cpp.
#ifndef PCLXL_APP_PRINTER_SUPPLIES_H
#define PCLXL_APP_PRINTER_SUPPLIES_H

#include <pappl/pappl.h>

#include <string>

namespace pclxl_app {

// Asks HOST:PORT (SNMP v2c, the community given) for the supplies table,
// each request given `timeout` seconds, and sets the printer's supplies from
// it. When nothing answers, the supplies the printer has keep their names
// and get level "unknown". Returns whether the printer answered.
bool update_supplies(pappl_printer_t *printer, const std::string &host, int port,
                     const std::string &community, double timeout);

} // namespace pclxl_app

#endif
