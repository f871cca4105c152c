#include "server.h"

#include <pappl/pappl.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "add_device_page.h"
#include "dnssd_guard.h"
#include "document_format.h"
#include "driver.h"
#include "pclxl.h"
#include "pdf_filter.h"
#include "text_filter.h"
#include "printer_link.h"
#include "save_guard.h"
#include "spool_lock.h"
#include "state_file.h"
#include "test_page.h"
#include "watchdog.h"

namespace pclxl_app {

namespace {

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

// Where PAPPL is to log. PAPPL keeps a log file under 1 MB by renaming it
// and opening a new one, which it does while holding its log lock and then
// logs that it has. Standard error ("-") cannot be renamed: once it is a
// file past 1 MB (a shell's 2>>, or a unit's StandardError=append:), that
// first line waits on the lock for good, and every thread that logs after
// it. A standard error that is a file is therefore logged to by its name,
// and turns over like any log file.
std::string log_destination(const char *value, const std::string &fallback) {
    if (!value)
        return fallback;
    struct stat info;
    if (std::strcmp(value, "-") != 0 || fstat(2, &info) != 0 || !S_ISREG(info.st_mode))
        return value;
    char path[4096];
    const ssize_t n = readlink("/proc/self/fd/2", path, sizeof path - 1);
    if (n <= 0 || path[0] != '/')
        return value;
    path[n] = '\0';
    struct stat named;
    // A file removed or replaced since has no name to log to.
    if (stat(path, &named) != 0 || named.st_dev != info.st_dev || named.st_ino != info.st_ino)
        return value;
    return path;
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

void complain(const std::string &line) { std::fprintf(stderr, "%s: %s\n", kAppName, line.c_str()); }

// PAPPL binds a host name's IPv4 and IPv6 addresses and is content with
// either, so a second server would share the port with the first. Every
// address must be free.
std::string port_in_use(const char *host, int port) {
    addrinfo hints{}, *list = nullptr;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host, service.c_str(), &hints, &list) != 0)
        return "";
    std::string busy;
    for (addrinfo *a = list; a && busy.empty(); a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (a->ai_family == AF_INET6)
            setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 && errno == EADDRINUSE) {
            char name[NI_MAXHOST] = "";
            getnameinfo(a->ai_addr, a->ai_addrlen, name, sizeof name, nullptr, 0, NI_NUMERICHOST);
            busy = std::string(name) + " port " + service;
        }
        close(fd);
    }
    freeaddrinfo(list);
    return busy;
}

// The state file and its saving. PAPPL writes the state into a new file
// next to it, which replaces the old one only when it is whole and on
// disk. A save that fails is tried again every few seconds.
struct State {
    std::string path;
    std::mutex saving;
    std::atomic<bool> failing{false};
} state;

void count_printer(pappl_printer_t *, void *count) { ++*static_cast<int *>(count); }

int printer_count(pappl_system_t *system) {
    int count = 0;
    papplSystemIteratePrinters(system, count_printer, &count);
    return count;
}

// A document sent without a format whose content is plain text is named
// text/plain and printed as text (text_filter.cpp) instead of going to the
// printer raw, without PJL, paper or duplex. Anything else unknown still
// goes raw (PJL, printer languages).
const char *name_plain_text(const unsigned char *header, size_t size, void *) {
    return looks_like_text(header, size) ? "text/plain" : nullptr;
}

bool write_state(pappl_system_t *system, void *file) {
    return papplSystemSaveState(system, static_cast<const char *>(file));
}

bool save_state(pappl_system_t *system, void *) {
    std::lock_guard<std::mutex> hold(state.saving);
    const std::string fresh = state.path + ".new";
    const int before = printer_count(system);
    std::string why;
    if (!save_with_printers_held(system, write_state, const_cast<char *>(fresh.c_str()))) {
        why = "cannot create " + fresh;
    } else {
        const int after = printer_count(system);
        if (after != before) {
            unlink(fresh.c_str());
            why = "printers were added or deleted while it was written";
        } else {
            why = commit_state(fresh, state.path, after);
        }
    }
    if (!why.empty()) {
        if (!state.failing.exchange(true))
            papplLog(system, PAPPL_LOGLEVEL_ERROR,
                     "Could not save the state to '%s': %s. The last saved state stays; saving "
                     "is tried again every few seconds.",
                     state.path.c_str(), why.c_str());
        return false;
    }
    if (state.failing.exchange(false))
        papplLog(system, PAPPL_LOGLEVEL_INFO, "State saved to '%s' again.", state.path.c_str());
    return true;
}

bool retry_save(pappl_system_t *system, void *) {
    if (state.failing.load())
        save_state(system, nullptr);
    return true;
}

// Reads the state unless it cannot be trusted: then it is kept aside
// under another name and the server starts without it. False when it can
// neither be read nor moved (the server must not write over it).
bool load_state(pappl_system_t *system) {
    const std::string fresh = state.path + ".new";
    if (unlink(fresh.c_str()) == 0)
        papplLog(system, PAPPL_LOGLEVEL_WARN,
                 "Removed '%s', a save that did not finish; the state is the one saved before.",
                 fresh.c_str());
    if (access(state.path.c_str(), F_OK) != 0 && errno == ENOENT)
        return true;
    std::string text, why;
    if (read_whole_file(state.path, &text, &why))
        why = state_defect(text);
    if (why.empty()) {
        papplSystemLoadState(system, state.path.c_str());
        return true;
    }
    const std::string aside = set_state_aside(state.path);
    if (aside.empty()) {
        const std::string line = "the state file " + state.path + " cannot be read (" + why +
                                 ") and cannot be moved aside: " + std::strerror(errno);
        papplLog(system, PAPPL_LOGLEVEL_FATAL, "%s", line.c_str());
        complain(line);
        return false;
    }
    papplLog(system, PAPPL_LOGLEVEL_ERROR,
             "The state file '%s' cannot be read (%s); it is kept as '%s' and the server starts "
             "without its printers.",
             state.path.c_str(), why.c_str(), aside.c_str());
    return true;
}

// The lock on the spool directory: held until the process ends.
int spool_lock = -1;

pappl_system_t *create_system(int count, cups_option_t *options) {
    const char *spool = option("spool-directory", count, options);
    const std::string directory = spool ? spool : default_spool_directory();
    if (!make_directory(directory)) {
        complain("cannot create " + directory + ": " + std::strerror(errno));
        return nullptr;
    }
    std::string why;
    if ((spool_lock = lock_spool_directory(directory, std::string(kAppName) + ".lock", &why)) < 0) {
        complain(why + "; not starting");
        return nullptr;
    }

    int port = kDefaultPort;
    if (const char *value = option("server-port", count, options)) {
        char *end;
        errno = 0;
        const long n = std::strtol(value, &end, 10);
        if (*end || errno || n < 1 || n > 65535) {
            complain(std::string("bad server-port '") + value + "'");
            return nullptr;
        }
        port = static_cast<int>(n);
    }
    const char *listen = option("listen-hostname", count, options);
    const bool loopback = !listen || !std::strcmp(listen, "localhost") ||
                          !std::strcmp(listen, "127.0.0.1") || !std::strcmp(listen, "::1");
    const std::string busy = port_in_use(listen ? listen : "localhost", port);
    if (!busy.empty()) {
        complain(busy + " is in use (another server?); not starting");
        return nullptr;
    }
    const std::string log_file =
        log_destination(option("log-file", count, options), directory + "/" + kAppName + ".log");

    pappl_system_t *system =
        papplSystemCreate(server_options(option("server-options", count, options), loopback),
                          kAppName, port, "_print,_universal", directory.c_str(), log_file.c_str(),
                          log_level(option("log-level", count, options)),
                          option("auth-service", count, options), false);
    if (!system)
        return nullptr;
    if (const char *group = option("admin-group", count, options))
        papplSystemSetAdminGroup(system, group);
    const char *hostname = option("server-hostname", count, options);
    if (hostname || loopback)
        papplSystemSetHostName(system, hostname ? hostname : "localhost");
    if (!papplSystemAddListeners(system, listen ? listen : "localhost")) {
        complain("cannot listen on " + std::string(listen ? listen : "localhost") + " port " +
                 std::to_string(port));
        papplSystemDelete(system);
        return nullptr;
    }

    pappl_version_t version{};
    std::snprintf(version.name, sizeof version.name, "%s", kAppName);
    std::snprintf(version.sversion, sizeof version.sversion, "%s", PCLXL_VERSION_STRING);
    version.version[0] = PCLXL_VERSION_MAJOR;
    version.version[1] = PCLXL_VERSION_MINOR;
    version.version[2] = PCLXL_VERSION_PATCH;
    papplSystemSetVersions(system, 1, &version);
    papplSystemSetFooterHTML(system, "PCL XL printer application " PCLXL_VERSION_STRING);
    papplSystemSetPrinterDrivers(system, kDriverCount, kDrivers, autoadd_callback, create_callback,
                                 driver_callback, nullptr);
    papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", pdf_filter, nullptr);
    papplSystemAddMIMEFilter(system, "text/plain", "image/pwg-raster", text_filter, nullptr);
    papplSystemSetMIMECallback(system, name_plain_text, nullptr);
    dnssd_guard_log_to(system);
    add_device_page(system);

    test_page_directory = directory;
    // The state (printers, their defaults, the job history) stays in the
    // spool directory.
    state.path = directory + "/" + kAppName + ".state";
    if (!load_state(system)) {
        papplSystemDelete(system);
        return nullptr;
    }
    papplSystemSetSaveCallback(system, save_state, nullptr);
    papplSystemAddTimerCallback(system, time(nullptr) + 5, 5, retry_save, nullptr);
    return system;
}

} // namespace

std::string default_spool_directory() {
    if (getuid() == 0)
        return std::string("/var/spool/") + kAppName;
    if (const char *home = std::getenv("HOME")) {
        std::string config = std::string(home) + "/.config";
        if (make_directory(config))
            return config + "/" + kAppName + ".d";
    }
    return std::string("/tmp/") + kAppName + std::to_string(getuid()) + ".d";
}

int run_server(int num_options, cups_option_t *options) {
    // A full disk or a file size limit makes writes fail, which the server
    // reports; it must not end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    pappl_system_t *system = create_system(num_options, options);
    if (!system)
        return 1;
    start_watchdog(system);
    papplSystemRun(system);
    link_shutdown();
    papplSystemDelete(system);
    return 0;
}

} // namespace pclxl_app
