// Supply levels as the Printer MIB gives them (prtMarkerSuppliesTable, with
// the colorant each supply feeds), turned into what IPP shows: a percentage
// or "unknown", a colour and a kind. Knows nothing about SNMP or PAPPL.
#ifndef PCLXL_APP_SUPPLY_LEVELS_H
#define PCLXL_APP_SUPPLY_LEVELS_H

#include <string>
#include <vector>

namespace pclxl_app {

// One row of the table, as read.
struct MibSupply {
    int supply_class = 0; // 3: consumed, 4: a receptacle that fills (waste)
    int type = 0;         // prtMarkerSuppliesTypeTC
    std::string description;
    long max = -2;        // capacity; -1 other, -2 unknown
    long level = -2;      // -1 other, -2 unknown, -3 some remaining
    std::string colorant; // "black", "cyan", ... ("" when none)
};

struct SupplyLevel {
    std::string description; // ends in "(level unknown)" when it is
    int level = -2;          // percent, or -2 when unknown
    std::string color;       // black, cyan, magenta, yellow, ... or ""
    std::string kind;        // toner, waste-toner, opc, developer, fuser, ink, other
    bool consumed = true;
};

// Unknown or odd values give level -2; a waste receptacle's level is how
// full it is.
std::vector<SupplyLevel> supply_levels(const std::vector<MibSupply> &rows);

} // namespace pclxl_app

#endif
