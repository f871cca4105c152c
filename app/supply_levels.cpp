#include "supply_levels.h"

#include <cctype>

namespace pclxl_app {
namespace {

const char *kind_for(int type) {
    switch (type) {
    case 3:  // toner
    case 21: // tonerCartridge
        return "toner";
    case 4: return "waste-toner";
    case 5:
    case 6: return "ink";
    case 9: return "opc";
    case 10: return "developer";
    case 15: return "fuser";
    default: return "other";
    }
}

std::string lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::vector<SupplyLevel> supply_levels(const std::vector<MibSupply> &rows) {
    std::vector<SupplyLevel> out;
    for (const MibSupply &row : rows) {
        SupplyLevel s;
        s.kind = kind_for(row.type);
        s.consumed = row.supply_class != 4;
        s.color = lower(row.colorant);
        if (s.color == "unknown" || s.color == "other" || s.color == "none")
            s.color.clear();
        if (row.level >= 0 && row.max > 0 && row.level <= row.max)
            s.level = static_cast<int>((row.level * 100 + row.max / 2) / row.max);
        s.description = row.description.empty() ? s.kind : row.description;
        if (s.level < 0)
            s.description += " (level unknown)";
        out.push_back(s);
    }
    return out;
}

} // namespace pclxl_app
