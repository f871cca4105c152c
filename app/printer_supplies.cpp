#include "printer_supplies.h"

#if PCLXL_APP_WITH_SNMP
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "supply_levels.h"

namespace pclxl_app {
namespace {

constexpr size_t kMaxRows = 32;

// The supplies the printer shows now, with their levels unknown.
void mark_unknown(pappl_printer_t *printer) {
    pappl_supply_t supplies[kMaxRows];
    const int n = papplPrinterGetSupplies(printer, static_cast<int>(kMaxRows), supplies);
    bool changed = false;
    for (int i = 0; i < n; i++) {
        pappl_supply_t &s = supplies[i];
        if (s.level != -2 || !std::strstr(s.description, "(level unknown)")) {
            s.level = -2;
            if (!std::strstr(s.description, "(level unknown)")) {
                char text[sizeof s.description];
                std::snprintf(text, sizeof text, "%.200s (level unknown)", s.description);
                std::snprintf(s.description, sizeof s.description, "%s", text);
            }
            changed = true;
        }
    }
    if (changed)
        papplPrinterSetSupplies(printer, n, supplies);
}

} // namespace

#if !PCLXL_APP_WITH_SNMP

bool update_supplies(pappl_printer_t *printer, const std::string &, int, const std::string &,
                     double) {
    mark_unknown(printer);
    return false;
}

#else

namespace {

// prtMarkerSuppliesEntry and prtMarkerColorantValue, for device 1.
const oid kSupplies[] = {1, 3, 6, 1, 2, 1, 43, 11, 1, 1};
const oid kColorants[] = {1, 3, 6, 1, 2, 1, 43, 12, 1, 1, 4, 1};

void start_snmp() {
    static std::once_flag once;
    std::call_once(once, [] {
        // No MIB files, configuration or saved state: only numbers.
        setenv("MIBS", "", 0);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        snmp_disable_log();
        init_snmp("pclxl-printer-app");
    });
}

struct Value {
    long number = 0;
    std::string text;
};

// Walks the subtree under `root` with GETNEXT: suffix (after root) -> value.
bool walk(void *session, const oid *root, size_t root_length,
          std::map<std::vector<oid>, Value> *out) {
    std::vector<oid> name(root, root + root_length);
    for (size_t step = 0; step < kMaxRows * 10; step++) {
        netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GETNEXT);
        snmp_add_null_var(pdu, name.data(), name.size());
        netsnmp_pdu *response = nullptr;
        const int status = snmp_sess_synch_response(session, pdu, &response);
        if (status != STAT_SUCCESS || !response) {
            if (response)
                snmp_free_pdu(response);
            return step > 0;
        }
        bool more = false;
        netsnmp_variable_list *v = response->variables;
        if (response->errstat == SNMP_ERR_NOERROR && v && v->name_length > root_length &&
            std::memcmp(v->name, root, root_length * sizeof(oid)) == 0 &&
            v->type != SNMP_ENDOFMIBVIEW && v->type != SNMP_NOSUCHOBJECT &&
            v->type != SNMP_NOSUCHINSTANCE) {
            Value value;
            if (v->type == ASN_INTEGER || v->type == ASN_GAUGE || v->type == ASN_COUNTER)
                value.number = *v->val.integer;
            else if (v->type == ASN_OCTET_STR)
                value.text.assign(reinterpret_cast<const char *>(v->val.string), v->val_len);
            name.assign(v->name, v->name + v->name_length);
            (*out)[std::vector<oid>(name.begin() + static_cast<long>(root_length), name.end())] =
                value;
            more = true;
        }
        snmp_free_pdu(response);
        if (!more)
            return true;
    }
    return true;
}

pappl_supply_color_t color_for(const std::string &name) {
    static const struct {
        const char *name;
        pappl_supply_color_t color;
    } colors[] = {{"black", PAPPL_SUPPLY_COLOR_BLACK},     {"cyan", PAPPL_SUPPLY_COLOR_CYAN},
                  {"magenta", PAPPL_SUPPLY_COLOR_MAGENTA}, {"yellow", PAPPL_SUPPLY_COLOR_YELLOW},
                  {"gray", PAPPL_SUPPLY_COLOR_GRAY},       {"grey", PAPPL_SUPPLY_COLOR_GRAY}};
    for (const auto &c : colors)
        if (name == c.name)
            return c.color;
    return PAPPL_SUPPLY_COLOR_NO_COLOR;
}

pappl_supply_type_t type_for(const std::string &kind) {
    static const struct {
        const char *kind;
        pappl_supply_type_t type;
    } types[] = {{"toner", PAPPL_SUPPLY_TYPE_TONER},
                 {"waste-toner", PAPPL_SUPPLY_TYPE_WASTE_TONER},
                 {"ink", PAPPL_SUPPLY_TYPE_INK},
                 {"opc", PAPPL_SUPPLY_TYPE_OPC},
                 {"developer", PAPPL_SUPPLY_TYPE_DEVELOPER},
                 {"fuser", PAPPL_SUPPLY_TYPE_FUSER}};
    for (const auto &t : types)
        if (kind == t.kind)
            return t.type;
    return PAPPL_SUPPLY_TYPE_OTHER;
}

} // namespace

bool update_supplies(pappl_printer_t *printer, const std::string &host, int port,
                     const std::string &community, double timeout) {
    start_snmp();
    netsnmp_session settings;
    snmp_sess_init(&settings);
    const std::string peer = "udp:" + host + ":" + std::to_string(port);
    settings.peername = const_cast<char *>(peer.c_str());
    settings.version = SNMP_VERSION_2c;
    settings.community = reinterpret_cast<u_char *>(const_cast<char *>(community.c_str()));
    settings.community_len = community.size();
    settings.timeout = static_cast<long>(timeout * 1000000);
    settings.retries = 0;
    void *session = snmp_sess_open(&settings);
    if (!session) {
        mark_unknown(printer);
        return false;
    }
    std::map<std::vector<oid>, Value> supplies, colorants;
    const bool answered = walk(session, kSupplies, OID_LENGTH(kSupplies), &supplies);
    if (answered)
        walk(session, kColorants, OID_LENGTH(kColorants), &colorants);
    snmp_sess_close(session);

    // Rows by index: suffix is column, device (1), index.
    std::map<oid, MibSupply> rows;
    for (const auto &[suffix, value] : supplies) {
        if (suffix.size() != 3 || suffix[1] != 1 || rows.size() > kMaxRows)
            continue;
        MibSupply &row = rows[suffix[2]];
        switch (suffix[0]) {
        case 3: { // the colorant's index
            const auto c = colorants.find({static_cast<oid>(value.number)});
            if (c != colorants.end())
                row.colorant = c->second.text;
            break;
        }
        case 4: row.supply_class = static_cast<int>(value.number); break;
        case 5: row.type = static_cast<int>(value.number); break;
        case 6: row.description = value.text; break;
        case 8: row.max = value.number; break;
        case 9: row.level = value.number; break;
        default: break;
        }
    }
    if (rows.empty()) {
        mark_unknown(printer);
        return answered;
    }
    std::vector<MibSupply> table;
    for (const auto &[index, row] : rows)
        table.push_back(row);
    const std::vector<SupplyLevel> levels = supply_levels(table);
    pappl_supply_t out[kMaxRows];
    int n = 0;
    for (const SupplyLevel &s : levels) {
        if (n == static_cast<int>(kMaxRows))
            break;
        pappl_supply_t &p = out[n++];
        p.color = color_for(s.color);
        std::snprintf(p.description, sizeof p.description, "%s", s.description.c_str());
        p.is_consumed = s.consumed;
        p.level = s.level;
        p.type = type_for(s.kind);
    }
    papplPrinterSetSupplies(printer, n, out);
    return true;
}

#endif

} // namespace pclxl_app
