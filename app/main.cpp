// pclxl-printer-app: an IPP Everywhere printer application for PCL XL
// printers, on PAPPL's main loop (server, add, drivers, printers, submit,
// jobs, status, shutdown, ...).
#include <pappl/pappl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "driver.h"
#include "pclxl.h"
#include "pdf_filter.h"

namespace {

constexpr const char *kName = "pclxl-printer-app";

const char *option(const char *name, int count, cups_option_t *options) {
    return cupsGetOption(name, count, options);
}

pappl_loglevel_t log_level(const char *value) {
    static const struct {
        const char *name;
        pappl_loglevel_t level;
    } levels[] = {{"fatal", PAPPL_LOGLEVEL_FATAL},
                  {"error", PAPPL_LOGLEVEL_ERROR},
                  {"warn", PAPPL_LOGLEVEL_WARN},
                  {"info", PAPPL_LOGLEVEL_INFO},
                  {"debug", PAPPL_LOGLEVEL_DEBUG}};
    for (const auto &l : levels)
        if (value && !std::strcmp(value, l.name))
            return l.level;
    return PAPPL_LOGLEVEL_WARN;
}

// server-options: a comma-separated list of words.
pappl_soptions_t server_options(const char *value, bool loopback) {
    pappl_soptions_t o = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE;
    // On loopback nothing crosses a network: no certificate is made (as
    // root, libcups would write it outside the spool directory).
    if (loopback)
        o |= PAPPL_SOPTIONS_NO_TLS;
    static const struct {
        const char *word;
        pappl_soptions_t bit;
        bool set;
    } words[] = {{"no-tls", PAPPL_SOPTIONS_NO_TLS, true},
                 {"tls", PAPPL_SOPTIONS_NO_TLS, false},
                 {"raw-socket", PAPPL_SOPTIONS_RAW_SOCKET, true},
                 {"usb-printer", PAPPL_SOPTIONS_USB_PRINTER, true},
                 {"web-log", PAPPL_SOPTIONS_WEB_LOG, true},
                 {"web-network", PAPPL_SOPTIONS_WEB_NETWORK, true},
                 {"web-remote", PAPPL_SOPTIONS_WEB_REMOTE, true},
                 {"web-security", PAPPL_SOPTIONS_WEB_SECURITY, true},
                 {"no-web-interface", PAPPL_SOPTIONS_WEB_INTERFACE, false}};
    std::string list = value ? value : "";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string word = list.substr(start, end - start);
        for (const auto &w : words)
            if (word == w.word)
                o = w.set ? (o | w.bit) : (o & ~w.bit);
        start = end + 1;
    }
    return o;
}

bool make_directory(const std::string &path) {
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// Where the printers, defaults and jobs live when no spool directory is
// given: a system directory for root, the user's configuration otherwise.
std::string default_spool_directory() {
    if (getuid() == 0)
        return std::string("/var/spool/") + kName;
    if (const char *home = std::getenv("HOME")) {
        std::string config = std::string(home) + "/.config";
        if (make_directory(config))
            return config + "/" + kName + ".d";
    }
    return std::string("/tmp/") + kName + std::to_string(getuid()) + ".d";
}

std::string state_file;

pappl_system_t *create_system(int count, cups_option_t *options, void *) {
    const char *spool = option("spool-directory", count, options);
    const std::string directory = spool ? spool : default_spool_directory();
    if (!make_directory(directory)) {
        std::fprintf(stderr, "%s: cannot create %s: %s\n", kName, directory.c_str(),
                     std::strerror(errno));
        return nullptr;
    }
    if (spool && getuid() == 0) {
        // PAPPL puts root's control socket in the directory this names;
        // with a spool directory given, nothing goes outside it.
        setenv("SNAP_COMMON", directory.c_str(), 1);
    }

    int port = 0;
    if (const char *value = option("server-port", count, options)) {
        char *end;
        errno = 0;
        const long n = std::strtol(value, &end, 10);
        if (*end || errno || n < 0 || n > 65535) {
            std::fprintf(stderr, "%s: bad server-port '%s'\n", kName, value);
            return nullptr;
        }
        port = static_cast<int>(n);
    }
    const char *listen = option("listen-hostname", count, options);
    const bool loopback = !listen || !std::strcmp(listen, "localhost") ||
                          !std::strcmp(listen, "127.0.0.1") || !std::strcmp(listen, "::1");
    const char *log_file = option("log-file", count, options);
    const std::string default_log = directory + "/" + kName + ".log";

    pappl_system_t *system = papplSystemCreate(
        server_options(option("server-options", count, options), loopback), kName, port,
        "_print,_universal", directory.c_str(), log_file ? log_file : default_log.c_str(),
        log_level(option("log-level", count, options)), option("auth-service", count, options),
        false);
    if (!system)
        return nullptr;
    if (const char *group = option("admin-group", count, options))
        papplSystemSetAdminGroup(system, group);
    const char *hostname = option("server-hostname", count, options);
    if (hostname || loopback)
        papplSystemSetHostName(system, hostname ? hostname : "localhost");
    if (!papplSystemAddListeners(system, listen ? listen : "localhost")) {
        papplSystemDelete(system);
        return nullptr;
    }

    pappl_version_t version{};
    std::snprintf(version.name, sizeof version.name, "%s", kName);
    std::snprintf(version.sversion, sizeof version.sversion, "%s", PCLXL_VERSION_STRING);
    version.version[0] = PCLXL_VERSION_MAJOR;
    version.version[1] = PCLXL_VERSION_MINOR;
    version.version[2] = PCLXL_VERSION_PATCH;
    papplSystemSetVersions(system, 1, &version);
    papplSystemSetFooterHTML(system, "PCL XL printer application " PCLXL_VERSION_STRING);
    papplSystemSetPrinterDrivers(system, pclxl_app::kDriverCount, pclxl_app::kDrivers,
                                 pclxl_app::autoadd_callback, pclxl_app::create_callback,
                                 pclxl_app::driver_callback, nullptr);
    papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", pclxl_app::pdf_filter,
                             nullptr);

    // The state (printers, their defaults, the job history) stays in the
    // spool directory.
    state_file = directory + "/" + kName + ".state";
    papplSystemLoadState(system, state_file.c_str());
    papplSystemSetSaveCallback(system, reinterpret_cast<pappl_save_cb_t>(papplSystemSaveState),
                               const_cast<char *>(state_file.c_str()));
    return system;
}

} // namespace

int main(int argc, char *argv[]) {
    return papplMainloop(argc, argv, PCLXL_VERSION_STRING, nullptr, pclxl_app::kDriverCount,
                         pclxl_app::kDrivers, pclxl_app::autoadd_callback,
                         pclxl_app::driver_callback, nullptr, nullptr, create_system, nullptr,
                         nullptr);
}
