#include "client.h"

#include <pappl/pappl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <unistd.h>

#include "server.h"

namespace pclxl_app {

namespace {

const char *option(const Command &c, const char *name) {
    return cupsGetOption(name, c.num_options, c.options);
}

int fail(const std::string &line) {
    std::fprintf(stderr, "%s: %s\n", kAppName, line.c_str());
    return 1;
}

// The server a sub-command talks to, and the printer when -u names one.
struct Target {
    std::string host = "localhost";
    int port = kDefaultPort;
    http_encryption_t encryption = HTTP_ENCRYPTION_IF_REQUESTED;
    std::string printer_resource; // "/ipp/print/NAME" from -u, or ""
    std::string base() const { return "ipp://" + host + ":" + std::to_string(port); }
    std::string system_uri() const { return base() + "/ipp/system"; }
};

bool parse_target(const char *uri, Target *t, std::string *why) {
    if (!uri)
        return true;
    char scheme[32], user[256], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, user, sizeof user, host,
                        sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK) {
        *why = std::string("bad URI '") + uri + "'";
        return false;
    }
    if (std::strcmp(scheme, "ipp") && std::strcmp(scheme, "ipps")) {
        *why = std::string("'") + uri + "' is not an ipp: or ipps: URI";
        return false;
    }
    t->host = host;
    t->port = port;
    if (!std::strcmp(scheme, "ipps"))
        t->encryption = HTTP_ENCRYPTION_ALWAYS;
    const std::string path = resource;
    if (path.rfind("/ipp/print/", 0) == 0 && path.size() > 11) {
        t->printer_resource = path;
    } else if (path != "/" && path != "/ipp/system" && !path.empty()) {
        *why = std::string("'") + uri +
               "' names neither a server (/ipp/system) nor a printer (/ipp/print/NAME)";
        return false;
    }
    return true;
}

// How long a request waits for the server. A request that only reads may
// be sent again: when the server stays silent for the wait (PCLXL_APP_CLIENT_TIMEOUT
// seconds, 5 by default), it is sent once more on a fresh connection, three
// tries in all. A request that changes something (a job, a printer, a
// default) is sent once, since a second one could print or change twice;
// it fails after twelve waits of silence.
constexpr int kReadTries = 3;
constexpr double kChangeWaits = 12;

double read_wait() {
    const char *env = std::getenv("PCLXL_APP_CLIENT_TIMEOUT");
    char *end = nullptr;
    const double seconds = env ? std::strtod(env, &end) : 0;
    return env && *env && !*end && seconds >= 0.1 && seconds <= 3600 ? seconds : 5;
}

bool only_reads(ipp_op_t op) {
    switch (op) {
    case IPP_OP_GET_PRINTER_ATTRIBUTES:
    case IPP_OP_GET_PRINTER_SUPPORTED_VALUES:
    case IPP_OP_GET_JOBS:
    case IPP_OP_GET_JOB_ATTRIBUTES:
    case IPP_OP_GET_PRINTERS:
    case IPP_OP_GET_SYSTEM_ATTRIBUTES:
    case IPP_OP_GET_SYSTEM_SUPPORTED_VALUES:
    case IPP_OP_CUPS_GET_DEFAULT:
    case IPP_OP_CUPS_GET_PRINTERS: return true;
    default: return false;
    }
}

// libcups calls this when the wait passes without a byte either way.
int stalled(http_t *, void *flag) {
    *static_cast<bool *>(flag) = true;
    return 0; // give up
}

std::string seconds_text(double s) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g s", s);
    return buffer;
}

// One connection, and the requests on it.
class Session {
  public:
    explicit Session(const Target &t) : target(t) {}
    ~Session() {
        if (http)
            httpClose(http);
    }
    bool open() {
        const std::string port = std::to_string(target.port);
        http_addrlist_t *addresses = httpAddrGetList(target.host.c_str(), AF_UNSPEC, port.c_str());
        if (!addresses) {
            fail("cannot find the host " + target.host);
            return false;
        }
        http = httpConnect2(target.host.c_str(), target.port, addresses, AF_UNSPEC,
                            target.encryption, 1, 10000, nullptr);
        httpAddrFreeList(addresses);
        if (!http) {
            fail("no server answers at " + target.base());
            return false;
        }
        return true;
    }
    // Sends `r` (which it frees) to `resource`, with the document read from
    // `fd` when there is one; the response, or nullptr after a line saying
    // what failed.
    ipp_t *send(ipp_t *r, const std::string &resource, const char *what, int fd = -1) {
        const bool again = only_reads(ippGetOperation(r)) && fd < 0;
        const double wait = again ? read_wait() : read_wait() * kChangeWaits;
        for (int tries = 1;; tries++) {
            ipp_t *copy = nullptr;
            if (again && tries < kReadTries) {
                copy = ippNew();
                ippSetOperation(copy, ippGetOperation(r));
                ippSetRequestId(copy, ippGetRequestId(r));
                ippCopyAttributes(copy, r, 0, nullptr, nullptr);
            }
            silent = false;
            httpSetTimeout(http, wait, stalled, &silent);
            ipp_t *response = cupsDoIORequest(http, r, resource.c_str(), fd, -1);
            r = copy;
            if (response && cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE) {
                ippDelete(r);
                return response;
            }
            const std::string reason = cupsLastErrorString();
            const bool lost = !response && httpGetStatus(http) == HTTP_STATUS_ERROR;
            ippDelete(response);
            if (lost && r) {
                // On a fresh connection: on the old one, a late answer
                // would be read as the next request's.
                if (httpReconnect2(http, 10000, nullptr) == 0)
                    continue;
                ippDelete(r);
                fail(std::string(what) + ": no server answers at " + target.base());
                return nullptr;
            }
            ippDelete(r);
            if (silent && again)
                fail(std::string(what) + ": the server at " + target.base() +
                     " did not answer in " + std::to_string(tries) + " tries of " +
                     seconds_text(wait) + " each");
            else if (silent)
                fail(std::string(what) + ": the server at " + target.base() +
                     " did not answer for " + seconds_text(wait) +
                     " (not sent again: the server may have acted on it)");
            else if (lost || cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE)
                fail(std::string(what) + ": the server at " + target.base() + " did not answer (" +
                     reason + ")");
            else
                fail(std::string(what) + ": " + reason);
            return nullptr;
        }
    }
    ipp_t *system_request(ipp_op_t op) {
        ipp_t *r = ippNewRequest(op);
        ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr,
                     target.system_uri().c_str());
        ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     cupsUser());
        return r;
    }
    const Target &target;
    http_t *http = nullptr;
    bool silent = false; // the last wait passed without an answer
};

struct Printer {
    std::string name, resource, uri;
    int id = 0;
};

// The attributes of each printer (or job) in a response, group by group.
template <typename F> void each_group(ipp_t *response, ipp_tag_t group, F f) {
    ipp_attribute_t *attr = ippFirstAttribute(response);
    while (attr) {
        if (ippGetGroupTag(attr) != group) {
            attr = ippNextAttribute(response);
            continue;
        }
        std::map<std::string, ipp_attribute_t *> found;
        for (; attr && ippGetGroupTag(attr) == group; attr = ippNextAttribute(response))
            if (ippGetName(attr))
                found[ippGetName(attr)] = attr;
        f(found);
    }
}

std::string text(const std::map<std::string, ipp_attribute_t *> &a, const char *name) {
    auto it = a.find(name);
    const char *s = it == a.end() ? nullptr : ippGetString(it->second, 0, nullptr);
    return s ? s : "";
}

int integer(const std::map<std::string, ipp_attribute_t *> &a, const char *name) {
    auto it = a.find(name);
    return it == a.end() ? 0 : ippGetInteger(it->second, 0);
}

std::string resource_of(const std::string &uri) {
    char scheme[32], user[256], host[256], resource[1024];
    int port;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof scheme, user, sizeof user,
                        host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK)
        return "";
    return resource;
}

// The printer a sub-command is about: -d NAME, else the one -u names, else
// the server's default printer.
bool find_printer(Session &s, const Command &c, Printer *p) {
    const char *name = option(c, "printer-name");
    if (!name && !s.target.printer_resource.empty()) {
        p->resource = s.target.printer_resource;
        p->uri = s.target.base() + p->resource;
        return true;
    }
    ipp_t *r = s.system_request(name ? IPP_OP_GET_PRINTERS : IPP_OP_CUPS_GET_DEFAULT);
    static const char *const wanted[] = {"printer-name", "printer-uri-supported"};
    ippAddStrings(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  wanted);
    ipp_t *response = s.send(r, "/ipp/system", "cannot list the printers");
    if (!response)
        return false;
    each_group(response, IPP_TAG_PRINTER, [&](const auto &a) {
        if (p->resource.empty() && (!name || text(a, "printer-name") == name)) {
            p->name = text(a, "printer-name");
            p->resource = resource_of(text(a, "printer-uri-supported"));
        }
    });
    ippDelete(response);
    if (p->resource.empty()) {
        fail(name ? "no printer named '" + std::string(name) + "' at " + s.target.base()
                  : "no default printer at " + s.target.base() + " (use -d NAME)");
        return false;
    }
    p->uri = s.target.base() + p->resource;
    return true;
}

// The printer's id as the server holds it now: PAPPL 1.3 reports printer-id
// 0 for a printer added since the server started, except in the system's
// list of configured printers.
bool find_printer_id(Session &s, Printer *p) {
    if (p->name.empty()) {
        // Named by its URI: ask it for its name.
        ipp_t *r = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
        ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, p->uri.c_str());
        ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     cupsUser());
        ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                     "printer-name");
        ipp_t *response = s.send(r, p->resource, "cannot find the printer");
        if (!response)
            return false;
        each_group(response, IPP_TAG_PRINTER,
                   [&](const auto &a) { p->name = text(a, "printer-name"); });
        ippDelete(response);
    }
    ipp_t *r = s.system_request(IPP_OP_GET_SYSTEM_ATTRIBUTES);
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "system-configured-printers");
    ipp_t *response = s.send(r, "/ipp/system", "cannot list the printers");
    if (!response)
        return false;
    p->id = 0;
    ipp_attribute_t *list =
        ippFindAttribute(response, "system-configured-printers", IPP_TAG_BEGIN_COLLECTION);
    for (int i = 0; list && i < ippGetCount(list) && !p->id; i++) {
        ipp_t *col = ippGetCollection(list, i);
        const char *name =
            ippGetString(ippFindAttribute(col, "printer-name", IPP_TAG_ZERO), 0, nullptr);
        if (name && p->name == name)
            p->id = ippGetInteger(ippFindAttribute(col, "printer-id", IPP_TAG_INTEGER), 0);
    }
    ippDelete(response);
    if (!p->id)
        fail("the server at " + s.target.base() + " has no printer named '" + p->name + "'");
    return p->id != 0;
}

ipp_t *printer_request(ipp_op_t op, const Printer &p) {
    ipp_t *r = ippNewRequest(op);
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, p.uri.c_str());
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return r;
}

ipp_t *printer_attributes(Session &s, const Printer &p) {
    return s.send(printer_request(IPP_OP_GET_PRINTER_ATTRIBUTES, p), p.resource,
                  "cannot read the printer's attributes");
}

// Options that steer the sub-command rather than describe a job or printer.
bool control_option(const std::string &name) {
    static const char *const names[] = {
        "printer-name", "printer-uri", "driver",          "device-uri", "job-id",
        "cancel-all",   "job-name",    "document-format", "verbose",    "device-id"};
    for (const char *n : names)
        if (name == n)
            return true;
    return false;
}

// Hundredths of millimetres from "12.7mm", "0.5in", "1cm" or a bare number.
int length(const char *value) {
    char *unit;
    const double n = std::strtod(value, &unit);
    if (!std::strcmp(unit, "in"))
        return static_cast<int>(n * 2540);
    if (!std::strcmp(unit, "cm"))
        return static_cast<int>(n * 1000);
    if (!std::strcmp(unit, "mm"))
        return static_cast<int>(n * 100);
    return static_cast<int>(n);
}

// The -o options as job attributes (`defaults` false) or as a printer's
// defaults (NAME-default), each in the type the printer's NAME-supported
// has.
void add_attributes(ipp_t *r, const Command &c, ipp_t *supported, bool defaults) {
    const ipp_tag_t group = defaults ? IPP_TAG_PRINTER : IPP_TAG_JOB;
    auto named = [&](const std::string &n) { return defaults ? n + "-default" : n; };
    const char *media = option(c, "media");
    const char *source = option(c, "media-source");
    const char *type = option(c, "media-type");
    const char *top = option(c, "media-top-offset");
    if (source || type || top) {
        ipp_t *col = ippNew();
        if (pwg_media_t *size = media ? pwgMediaForPWG(media) : nullptr) {
            ipp_t *dims = ippNew();
            ippAddInteger(dims, IPP_TAG_ZERO, IPP_TAG_INTEGER, "x-dimension", size->width);
            ippAddInteger(dims, IPP_TAG_ZERO, IPP_TAG_INTEGER, "y-dimension", size->length);
            ippAddCollection(col, IPP_TAG_ZERO, "media-size", dims);
            ippDelete(dims);
        }
        if (source)
            ippAddString(col, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-source", nullptr, source);
        if (top)
            ippAddInteger(col, IPP_TAG_ZERO, IPP_TAG_INTEGER, "media-top-offset", length(top));
        if (type)
            ippAddString(col, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-type", nullptr, type);
        ippAddCollection(r, group, named("media-col").c_str(), col);
        ippDelete(col);
        media = nullptr;
    }
    for (int i = 0; i < c.num_options; i++) {
        const std::string name = c.options[i].name;
        const char *value = c.options[i].value;
        if (control_option(name) || name.rfind("media-", 0) == 0 || (name == "media" && !media))
            continue;
        // Printer description: location, organization, ... as given.
        if (name.rfind("printer-", 0) == 0 && name != "printer-resolution") {
            if (defaults)
                ippAddString(r, IPP_TAG_PRINTER,
                             name == "printer-geo-location" ? IPP_TAG_URI : IPP_TAG_TEXT,
                             name.c_str(), nullptr, value);
            continue;
        }
        if (name == "page-ranges" && !defaults) {
            int first = 1, last = 0x7fffffff;
            if (std::sscanf(value, "%d-%d", &first, &last) < 1)
                continue;
            ippAddRange(r, IPP_TAG_JOB, "page-ranges", first, last);
            continue;
        }
        if (name == "printer-resolution") {
            int x = 0, y = 0;
            if (std::sscanf(value, "%dx%d", &x, &y) != 2)
                y = x = std::atoi(value);
            if (x > 0)
                ippAddResolution(r, group, named(name).c_str(), IPP_RES_PER_INCH, x, y);
            continue;
        }
        ipp_attribute_t *sup =
            ippFindAttribute(supported, (name + "-supported").c_str(), IPP_TAG_ZERO);
        const int enum_value = ippEnumValue(name.c_str(), value);
        switch (sup ? ippGetValueTag(sup) : IPP_TAG_KEYWORD) {
        case IPP_TAG_BOOLEAN:
            ippAddBoolean(r, group, named(name).c_str(), !std::strcmp(value, "true"));
            break;
        case IPP_TAG_INTEGER:
        case IPP_TAG_RANGE:
            ippAddInteger(r, group, IPP_TAG_INTEGER, named(name).c_str(), std::atoi(value));
            break;
        case IPP_TAG_ENUM:
            ippAddInteger(r, group, IPP_TAG_ENUM, named(name).c_str(),
                          enum_value ? enum_value : std::atoi(value));
            break;
        default:
            ippAddString(r, group, IPP_TAG_KEYWORD, named(name).c_str(), nullptr, value);
            break;
        }
    }
}

int show_printers(Session &s) {
    ipp_t *r = s.system_request(IPP_OP_GET_PRINTERS);
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-name");
    ipp_t *response = s.send(r, "/ipp/system", "cannot list the printers");
    if (!response)
        return 1;
    for (ipp_attribute_t *a = ippFindAttribute(response, "printer-name", IPP_TAG_NAME); a;
         a = ippFindNextAttribute(response, "printer-name", IPP_TAG_NAME))
        std::printf("%s\n", ippGetString(a, 0, nullptr));
    ippDelete(response);
    return finish_output();
}

int add_printer(Session &s, const Command &c) {
    const char *name = option(c, "printer-name"), *driver = option(c, "driver"),
               *device = option(c, "device-uri");
    if (!name || !driver || !device)
        return fail("add needs -d NAME, -m DRIVER and -v DEVICE-URI");
    ipp_t *r = s.system_request(IPP_OP_CREATE_PRINTER);
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "printer-service-type", nullptr, "print");
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "smi55357-driver", nullptr, driver);
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_URI, "smi55357-device-uri", nullptr, device);
    ippAddString(r, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, name);
    add_attributes(r, c, nullptr, true);
    ipp_t *response = s.send(r, "/ipp/system", "cannot add the printer");
    ippDelete(response);
    return response ? 0 : 1;
}

struct Known {
    std::map<std::string, bool> uris;                       // device URI -> seen on this machine
    std::vector<std::pair<std::string, std::string>> fresh; // name, URI
    std::vector<std::string> ids;
};

bool note_device(const char *info, const char *uri, const char *device_id, void *data) {
    auto *known = static_cast<Known *>(data);
    if (!known->uris.count(uri)) {
        known->fresh.emplace_back(info ? info : uri, uri);
        known->ids.push_back(device_id ? device_id : "");
    }
    return false;
}

int autoadd_printers(Session &s) {
    ipp_t *r = s.system_request(IPP_OP_GET_PRINTERS);
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "smi55357-device-uri");
    ipp_t *response = s.send(r, "/ipp/system", "cannot list the printers");
    if (!response)
        return 1;
    Known known;
    for (ipp_attribute_t *a = ippFindAttribute(response, "smi55357-device-uri", IPP_TAG_URI); a;
         a = ippFindNextAttribute(response, "smi55357-device-uri", IPP_TAG_URI))
        known.uris[ippGetString(a, 0, nullptr)] = true;
    ippDelete(response);
    papplDeviceList(PAPPL_DEVTYPE_USB, note_device, &known, nullptr, nullptr);
    int status = 0;
    for (size_t i = 0; i < known.fresh.size(); i++) {
        ipp_t *add = s.system_request(IPP_OP_CREATE_PRINTER);
        ippAddString(add, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "printer-service-type", nullptr,
                     "print");
        ippAddString(add, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "smi55357-driver", nullptr, "auto");
        ippAddString(add, IPP_TAG_OPERATION, IPP_TAG_URI, "smi55357-device-uri", nullptr,
                     known.fresh[i].second.c_str());
        ippAddString(add, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr,
                     known.fresh[i].first.c_str());
        ippAddString(add, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-device-id", nullptr,
                     known.ids[i].c_str());
        ipp_t *added =
            s.send(add, "/ipp/system", ("cannot add '" + known.fresh[i].first + "'").c_str());
        status |= added ? 0 : 1;
        ippDelete(added);
    }
    return status;
}

int simple_printer_op(Session &s, const Command &c, ipp_op_t op, const char *what) {
    Printer p;
    if (!find_printer(s, c, &p))
        return 1;
    ipp_t *response = s.send(printer_request(op, p), p.resource, what);
    ippDelete(response);
    return response ? 0 : 1;
}

int cancel_jobs(Session &s, const Command &c) {
    Printer p;
    if (!find_printer(s, c, &p))
        return 1;
    const char *id = option(c, "job-id");
    ipp_op_t op = option(c, "cancel-all") ? IPP_OP_CANCEL_MY_JOBS
                  : id                    ? IPP_OP_CANCEL_JOB
                                          : IPP_OP_CANCEL_CURRENT_JOB;
    ipp_t *r = printer_request(op, p);
    if (id && op == IPP_OP_CANCEL_JOB) {
        char *end;
        const long n = std::strtol(id, &end, 10);
        if (*end || n < 1 || n > 0x7fffffff) {
            ippDelete(r);
            return fail(std::string("bad job ID '") + id + "'");
        }
        ippAddInteger(r, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", static_cast<int>(n));
    }
    ipp_t *response = s.send(r, p.resource, "cannot cancel");
    ippDelete(response);
    return response ? 0 : 1;
}

int default_printer(Session &s, const Command &c) {
    Printer p;
    if (!option(c, "printer-name")) {
        ipp_t *r = s.system_request(IPP_OP_CUPS_GET_DEFAULT);
        ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                     "printer-name");
        ipp_t *response = s.send(r, "/ipp/system", "cannot read the default printer");
        if (!response)
            return 1;
        ipp_attribute_t *a = ippFindAttribute(response, "printer-name", IPP_TAG_NAME);
        std::printf("%s\n", a ? ippGetString(a, 0, nullptr) : "No default printer set.");
        ippDelete(response);
        return finish_output();
    }
    if (!find_printer(s, c, &p) || !find_printer_id(s, &p))
        return 1;
    ipp_t *r = s.system_request(IPP_OP_SET_SYSTEM_ATTRIBUTES);
    ippAddInteger(r, IPP_TAG_SYSTEM, IPP_TAG_INTEGER, "system-default-printer-id", p.id);
    ipp_t *response = s.send(r, "/ipp/system", "cannot set the default printer");
    ippDelete(response);
    return response ? 0 : 1;
}

int delete_printer(Session &s, const Command &c) {
    if (!option(c, "printer-name") && s.target.printer_resource.empty())
        return fail("delete needs -d NAME (or -u with the printer's URI)");
    Printer p;
    if (!find_printer(s, c, &p) || !find_printer_id(s, &p))
        return 1;
    ipp_t *r = s.system_request(IPP_OP_DELETE_PRINTER);
    ippAddInteger(r, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "printer-id", p.id);
    ipp_t *response = s.send(r, "/ipp/system", "cannot delete the printer");
    ippDelete(response);
    return response ? 0 : 1;
}

int show_jobs(Session &s, const Command &c) {
    Printer p;
    if (!find_printer(s, c, &p))
        return 1;
    ipp_t *r = printer_request(IPP_OP_GET_JOBS, p);
    ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    static const char *const wanted[] = {"job-id", "job-name", "job-originating-user-name",
                                         "job-state"};
    ippAddStrings(r, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                  wanted);
    ipp_t *response = s.send(r, p.resource, "cannot list the jobs");
    if (!response)
        return 1;
    each_group(response, IPP_TAG_JOB, [&](const auto &a) {
        const int state = integer(a, "job-state");
        std::printf("%d %-12s %-16s %s\n", integer(a, "job-id"),
                    ippEnumString("job-state", state ? state : IPP_JSTATE_PENDING),
                    text(a, "job-originating-user-name").c_str(), text(a, "job-name").c_str());
    });
    ippDelete(response);
    return finish_output();
}

int modify_printer(Session &s, const Command &c) {
    Printer p;
    if (!option(c, "printer-name") && s.target.printer_resource.empty())
        return fail("modify needs -d NAME (or -u with the printer's URI)");
    if (!find_printer(s, c, &p))
        return 1;
    ipp_t *supported = printer_attributes(s, p);
    if (!supported)
        return 1;
    ipp_t *r = printer_request(IPP_OP_SET_PRINTER_ATTRIBUTES, p);
    add_attributes(r, c, supported, true);
    ippDelete(supported);
    ipp_t *response = s.send(r, p.resource, "cannot change the printer");
    ippDelete(response);
    return response ? 0 : 1;
}

// One value of an attribute as the -o option takes it.
std::string value_text(ipp_attribute_t *a, int i, const char *name) {
    char buffer[64];
    switch (ippGetValueTag(a)) {
    case IPP_TAG_INTEGER: return std::to_string(ippGetInteger(a, i));
    case IPP_TAG_ENUM: return ippEnumString(name, ippGetInteger(a, i));
    case IPP_TAG_RANGE: {
        int upper;
        const int lower = ippGetRange(a, i, &upper);
        return std::to_string(lower) + " to " + std::to_string(upper);
    }
    case IPP_TAG_RESOLUTION: {
        int y;
        ipp_res_t units;
        const int x = ippGetResolution(a, i, &y, &units);
        std::snprintf(buffer, sizeof buffer, x == y ? "%ddpi" : "%dx%ddpi", x, y);
        return buffer;
    }
    default: {
        const char *s = ippGetString(a, i, nullptr);
        return s ? s : "";
    }
    }
}

// One option's values, the default first.
void print_option(ipp_t *attrs, const char *name) {
    ipp_attribute_t *sup =
        ippFindAttribute(attrs, (std::string(name) + "-supported").c_str(), IPP_TAG_ZERO);
    if (!sup)
        return;
    ipp_attribute_t *d = nullptr;
    if (!std::strncmp(name, "media-", 6)) {
        if (ipp_attribute_t *col =
                ippFindAttribute(attrs, "media-col-default", IPP_TAG_BEGIN_COLLECTION))
            d = ippFindAttribute(ippGetCollection(col, 0), name, IPP_TAG_ZERO);
    } else {
        d = ippFindAttribute(attrs, (std::string(name) + "-default").c_str(), IPP_TAG_ZERO);
    }
    const std::string def = d ? value_text(d, 0, name) : "";
    if (!def.empty())
        std::printf("  -o %s=%s (default)\n", name, def.c_str());
    for (int i = 0; i < ippGetCount(sup); i++) {
        const std::string value = value_text(sup, i, name);
        if (value != def)
            std::printf("  -o %s=%s\n", name, value.c_str());
    }
}

int show_options(Session &s, const Command &c) {
    Printer p;
    if (!find_printer(s, c, &p))
        return 1;
    ipp_t *attrs = printer_attributes(s, p);
    if (!attrs)
        return 1;
    std::printf("Print job options:\n  -n COPIES\n");
    for (const char *name :
         {"copies", "media", "media-source", "media-type", "multiple-document-handling",
          "orientation-requested", "print-color-mode", "print-content-optimize", "print-quality",
          "print-scaling", "printer-resolution", "sides"})
        print_option(attrs, name);
    std::printf("Printer options:\n"
                "  -o printer-location='LOCATION'\n"
                "  -o printer-organization='ORGANIZATION'\n"
                "  -o printer-organizational-unit='UNIT/SECTION'\n"
                "  -o printer-geo-location='geo:LATITUDE,LONGITUDE'\n");
    ippDelete(attrs);
    return finish_output();
}

int show_status(Session &s, const Command &c) {
    const bool printer = option(c, "printer-name") || !s.target.printer_resource.empty();
    ipp_t *response;
    const char *prefix = printer ? "printer" : "system";
    const std::string state_name = std::string(prefix) + "-state";
    if (printer) {
        Printer p;
        if (!find_printer(s, c, &p))
            return 1;
        response = printer_attributes(s, p);
    } else {
        response = s.send(s.system_request(IPP_OP_GET_SYSTEM_ATTRIBUTES), "/ipp/system",
                          "cannot read the server's state");
    }
    if (!response)
        return 1;
    int state = ippGetInteger(ippFindAttribute(response, state_name.c_str(), IPP_TAG_ENUM), 0);
    if (state < IPP_PSTATE_IDLE || state > IPP_PSTATE_STOPPED)
        state = IPP_PSTATE_IDLE;
    static const char *const states[] = {"idle", "processing jobs", "stopped"};
    const time_t since = ippDateToTime(ippGetDate(
        ippFindAttribute(response, (state_name + "-change-date-time").c_str(), IPP_TAG_DATE), 0));
    std::string reasons;
    if (ipp_attribute_t *r =
            ippFindAttribute(response, (state_name + "-reasons").c_str(), IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(r); i++)
            if (std::strcmp(ippGetString(r, i, nullptr), "none"))
                reasons += std::string(reasons.empty() ? " " : ", ") + ippGetString(r, i, nullptr);
    char date[256];
    std::printf("Running, %s since %s%s.\n", states[state - IPP_PSTATE_IDLE],
                httpGetDateString2(since, date, sizeof date), reasons.c_str());
    ippDelete(response);
    return finish_output();
}

int shutdown_server(Session &s) {
    ipp_t *response = s.send(s.system_request(IPP_OP_SHUTDOWN_ALL_PRINTERS), "/ipp/system",
                             "cannot shut the server down");
    ippDelete(response);
    return response ? 0 : 1;
}

int submit(Session &s, const Command &c) {
    std::vector<std::string> files = c.files;
    if (files.empty()) {
        if (isatty(0))
            return fail("no files to print");
        files.push_back("-");
    }
    Printer p;
    if (!find_printer(s, c, &p))
        return 1;
    const bool named_by_uri = !option(c, "printer-name") && !s.target.printer_resource.empty();
    for (const std::string &file : files) {
        const bool standard_input = file == "-";
        const int fd = standard_input ? 0 : open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return fail("cannot open '" + file + "': " + std::strerror(errno));
        const size_t slash = file.rfind('/');
        const std::string document = standard_input               ? "(stdin)"
                                     : slash == std::string::npos ? file
                                                                  : file.substr(slash + 1);
        ipp_t *supported = printer_attributes(s, p);
        if (!supported) {
            if (!standard_input)
                close(fd);
            return 1;
        }
        ipp_t *r = printer_request(IPP_OP_PRINT_JOB, p);
        const char *title = option(c, "job-name");
        ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr,
                     title ? title : document.c_str());
        ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_NAME, "document-name", nullptr,
                     document.c_str());
        if (const char *format = option(c, "document-format"))
            ippAddString(r, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                         format);
        add_attributes(r, c, supported, false);
        ippDelete(supported);
        ipp_t *response = s.send(r, p.resource, ("cannot print '" + file + "'").c_str(), fd);
        if (!standard_input)
            close(fd);
        if (!response)
            return 1;
        const int id = ippGetInteger(ippFindAttribute(response, "job-id", IPP_TAG_INTEGER), 0);
        ippDelete(response);
        if (named_by_uri)
            std::printf("%d\n", id);
        else
            std::printf("%s-%d\n", p.name.c_str(), id);
    }
    return finish_output();
}

} // namespace

bool stdout_closed = false;

int finish_output() {
    if (stdout_closed) {
        std::fprintf(stderr, "%s: cannot write the output: standard output is closed\n", kAppName);
        return 1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write the output: %s\n", kAppName, std::strerror(errno));
        return 1;
    }
    return 0;
}

int run_client(const Command &c) {
    Target target;
    std::string why;
    if (!parse_target(option(c, "printer-uri"), &target, &why))
        return fail(why);
    Session s(target);
    if (!s.open())
        return 1;
    const std::string &n = c.name;
    if (n == "printers")
        return show_printers(s);
    if (n == "add")
        return add_printer(s, c);
    if (n == "autoadd")
        return autoadd_printers(s);
    if (n == "cancel")
        return cancel_jobs(s, c);
    if (n == "default")
        return default_printer(s, c);
    if (n == "delete")
        return delete_printer(s, c);
    if (n == "jobs")
        return show_jobs(s, c);
    if (n == "modify")
        return modify_printer(s, c);
    if (n == "options")
        return show_options(s, c);
    if (n == "pause")
        return simple_printer_op(s, c, IPP_OP_PAUSE_PRINTER, "cannot pause the printer");
    if (n == "resume")
        return simple_printer_op(s, c, IPP_OP_RESUME_PRINTER, "cannot resume the printer");
    if (n == "shutdown")
        return shutdown_server(s);
    if (n == "status")
        return show_status(s, c);
    return submit(s, c);
}

} // namespace pclxl_app
