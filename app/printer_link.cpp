#include "printer_link.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "driver.h"
#include "device_id.h"
#include "pjl_status.h"
#include "printer_supplies.h"
#include "job.h"
#include "job_device.h"
#include "model_quirks.h"
#include "text_line.h"

// PAPPL 1.3 adds its own device schemes only while none is registered, and
// keeps the first handler of a scheme. Ours for socket: goes in first; these
// (exported by libpappl) then add the rest.
extern "C" {
void _papplDeviceAddFileScheme(void);
void _papplDeviceAddNetworkSchemes(void);
void _papplDeviceAddUSBScheme(void);
}

namespace pclxl_app {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char kUel[] = "\x1b%-12345X";
constexpr int kSliceMs = 250; // how often waits look at cancel and shutdown

struct Times {
    double connect = 10, write = 60, end = 120, retry = 5, answer = 3, status = 10;
};

enum class Pjl { Unknown, Answers, Silent };

// What the application knows about one printer, across connections.
struct PrinterFacts {
    Pjl pjl = Pjl::Unknown;
    unsigned reasons = 0; // from the printer's status
    bool needs_person = false;
    std::string message;       // the printer's words, or ours
    unsigned link_reasons = 0; // from the connection (offline)
    std::string link_message;
    std::string published; // the message last given to PAPPL
    std::string model;
    pjl::Config config;
    bool config_known = false, identity_applied = false;
    long page_count = -1;
    Clock::time_point last_query{};
    long replies = 0; // messages read so far
    pjl::Kind last_reply = pjl::Kind::Other;
};

// One open device: a socket of ours (host set), or any PAPPL device that
// reads back (USB), whose dialogue goes through PAPPL's read and write.
struct Link {
    std::string host, port, uri;
    // Where the PJL dialogue goes: null for our socket directly, else
    // through this device's papplDeviceRead and papplDeviceWrite (a socket
    // with back-channel=device does so too, to check that path).
    pappl_device_t *via = nullptr;
    bool via_device = false;
    Times times;
    int snmp_port = 161;
    std::string community = "public";
    int fd = -1;
    pappl_printer_t *printer = nullptr;
    pappl_job_t *job = nullptr;
    pjl::Reader reader;
    // The job in progress.
    std::string job_name;
    bool job_started = false, job_ended = false;
    int ended_job_id = 0; // the last job ended here, and how
    bool ended_ok = false;
    long pages_done = -1, job_pages = -1;
    bool two_sided = false; // two pages a sheet
    std::string xl_error;
    std::string failure;    // why the last write failed
    bool closed = false;    // the printer hung up
    bool named_job = false; // wrapped in JOB NAME / EOJ: its end is reported
};

std::mutex mutex; // guards links and facts
std::set<Link *> links;
std::map<std::string, std::unique_ptr<Link>> device_links; // by device URI
std::map<std::string, PrinterFacts> facts;                 // by device URI
std::atomic<bool> terminating{false};
void (*pappl_sigterm)(int) = nullptr;

void on_sigterm(int sig) {
    terminating = true;
    if (pappl_sigterm)
        pappl_sigterm(sig);
}

// PAPPL's main loop sets its SIGTERM handler; ours runs first and then its,
// so that a write in progress sees the signal at once.
void chain_sigterm() {
    struct sigaction current {};
    if (sigaction(SIGTERM, nullptr, &current) != 0 || current.sa_handler == on_sigterm ||
        (current.sa_flags & SA_SIGINFO) || current.sa_handler == SIG_IGN ||
        current.sa_handler == SIG_DFL)
        return;
    pappl_sigterm = current.sa_handler;
    struct sigaction ours = current;
    ours.sa_handler = on_sigterm;
    sigaction(SIGTERM, &ours, nullptr);
}

Link *link_of(pappl_device_t *device) {
    if (!device)
        return nullptr;
    Link *link = static_cast<Link *>(papplDeviceGetData(device));
    std::lock_guard<std::mutex> lock(mutex);
    return links.count(link) ? link : nullptr;
}

// NAME=VALUE among the options after '?' (separated by ',' or '&').
std::string text_option(const std::string &query, const char *name) {
    const std::string key = std::string(name) + "=";
    size_t at = 0;
    while ((at = query.find(key, at)) != std::string::npos) {
        if (at == 0 || query[at - 1] == '&' || query[at - 1] == ',') {
            const size_t start = at + key.size();
            return query.substr(start, query.find_first_of(",&", start) - start);
        }
        at += key.size();
    }
    return "";
}

double seconds_option(const std::string &query, const char *name, double fallback) {
    const std::string text = text_option(query, name);
    char *end;
    const double v = std::strtod(text.c_str(), &end);
    return !text.empty() && !*end && v > 0 && v < 86400 ? v : fallback;
}

std::string query_of(const char *uri) {
    const char *q = uri ? std::strchr(uri, '?') : nullptr;
    return q ? q + 1 : "";
}

bool stopping(const Link *link) {
    if (terminating)
        return true;
    if (link->job && papplJobIsCanceled(link->job))
        return true;
    if (link->printer) {
        pappl_system_t *system = papplPrinterGetSystem(link->printer);
        if (papplSystemIsShutdown(system))
            return true;
    }
    return false;
}

const char *stop_reason(const Link *link) {
    return link->job && papplJobIsCanceled(link->job) ? "cancelled" : "the server is shutting down";
}

pappl_preason_t pappl_reasons(unsigned reasons) {
    static const struct {
        unsigned ours;
        pappl_preason_t theirs;
    } map[] = {{pjl::kMediaEmpty, PAPPL_PREASON_MEDIA_EMPTY},
               {pjl::kMediaNeeded, PAPPL_PREASON_MEDIA_NEEDED},
               {pjl::kMediaJam, PAPPL_PREASON_MEDIA_JAM},
               // PAPPL 1.3 lists no reason above toner-low: door-open would
               // vanish, cover-open says the same.
               {pjl::kDoorOpen, PAPPL_PREASON_COVER_OPEN},
               {pjl::kTonerLow, PAPPL_PREASON_TONER_LOW},
               {pjl::kTonerEmpty, PAPPL_PREASON_TONER_EMPTY},
               {pjl::kMarkerSupplyLow, PAPPL_PREASON_MARKER_SUPPLY_LOW},
               {pjl::kOffline, PAPPL_PREASON_OFFLINE},
               // PAPPL 1.3 has no keyword for these: the message names them.
               {pjl::kOutputAreaFull, PAPPL_PREASON_OTHER},
               {pjl::kOther, PAPPL_PREASON_OTHER}};
    pappl_preason_t out = PAPPL_PREASON_NONE;
    for (const auto &m : map)
        if (reasons & m.ours)
            out |= m.theirs;
    return out;
}

constexpr pappl_preason_t kOurReasons =
    PAPPL_PREASON_MEDIA_EMPTY | PAPPL_PREASON_MEDIA_NEEDED | PAPPL_PREASON_MEDIA_JAM |
    PAPPL_PREASON_COVER_OPEN | PAPPL_PREASON_TONER_LOW | PAPPL_PREASON_TONER_EMPTY |
    PAPPL_PREASON_MARKER_SUPPLY_LOW | PAPPL_PREASON_OFFLINE | PAPPL_PREASON_OTHER;

// The capability attributes: the driver's, with what the printer said about
// itself (model, trays, duplex unit) and its current words.
void publish_attributes(pappl_printer_t *printer, const PrinterFacts &f) {
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    if (!f.model.empty())
        std::snprintf(data.make_and_model, sizeof data.make_and_model, "%s", f.model.c_str());
    if (f.config_known) {
        data.sides_supported = f.config.duplex
                                   ? PAPPL_SIDES_ONE_SIDED | PAPPL_SIDES_TWO_SIDED_LONG_EDGE |
                                         PAPPL_SIDES_TWO_SIDED_SHORT_EDGE
                                   : PAPPL_SIDES_ONE_SIDED;
        if (!f.config.duplex)
            data.sides_default = PAPPL_SIDES_ONE_SIDED;
        // The trays the printer has, among those the driver can address.
        int n = 0;
        pappl_media_col_t ready[PAPPL_MAX_SOURCE];
        const char *sources[PAPPL_MAX_SOURCE];
        for (size_t i = 0; i < pclxl_host::kPwgSourceCount; i++) {
            const char *name = pclxl_host::kPwgSources[i].pwg;
            bool present = !std::strcmp(name, "auto");
            for (const std::string &t : f.config.trays)
                present = present || t == name;
            if (!present)
                continue;
            pappl_media_col_t m = data.media_ready[0];
            for (int j = 0; j < data.num_source; j++)
                if (!std::strcmp(data.source[j], name))
                    m = data.media_ready[j];
            std::snprintf(m.source, sizeof m.source, "%s", name);
            ready[n] = m;
            sources[n++] = name;
        }
        data.num_source = n;
        for (int i = 0; i < n; i++) {
            data.source[i] = sources[i];
            data.media_ready[i] = ready[i];
        }
        data.media_default = data.media_ready[0];
    }
    // What the model's quirks allow: resolutions and media types.
    const pclxl_host::Quirks quirks = quirks_for_model(data.make_and_model);
    if (quirks.max_resolution > 0) {
        int n = 0;
        for (int i = 0; i < data.num_resolution; i++)
            if (data.x_resolution[i] <= quirks.max_resolution) {
                data.x_resolution[n] = data.x_resolution[i];
                data.y_resolution[n++] = data.y_resolution[i];
            }
        if (n > 0) {
            data.num_resolution = n;
            if (data.x_default > data.x_resolution[n - 1])
                data.x_default = data.y_default = data.x_resolution[n - 1];
        }
    }
    if (!quirks.media_types.empty()) {
        int n = 0;
        for (int i = 0; i < data.num_type; i++) {
            const pclxl_host::MediaType *t = pclxl_host::media_type_for_pwg(data.type[i]);
            bool allowed = false;
            for (const std::string &name : quirks.media_types)
                allowed = allowed || (t && name == t->name);
            if (allowed)
                data.type[n++] = data.type[i];
        }
        if (n > 0) {
            data.num_type = n;
            for (int i = 0; i < data.num_source; i++) {
                bool listed = false;
                for (int j = 0; j < n; j++)
                    listed = listed || !std::strcmp(data.media_ready[i].type, data.type[j]);
                if (!listed)
                    std::snprintf(data.media_ready[i].type, sizeof data.media_ready[i].type, "%s",
                                  data.type[0]);
            }
            data.media_default = data.media_ready[0];
        }
    }
    ipp_t *attrs = driver_attributes(papplPrinterGetDriverName(printer));
    const std::string &words = f.link_message.empty() ? f.message : f.link_message;
    if (!words.empty())
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-alert-description", nullptr,
                     words.c_str());
    papplPrinterSetDriverData(printer, &data, attrs);
    ippDelete(attrs);
}

// Hands PAPPL the printer's state. Called without the mutex held.
void publish(pappl_printer_t *printer, const std::string &uri) {
    if (!printer)
        return;
    PrinterFacts f;
    bool attributes;
    {
        std::lock_guard<std::mutex> lock(mutex);
        PrinterFacts &stored = facts[uri];
        const std::string &words =
            stored.link_message.empty() ? stored.message : stored.link_message;
        attributes = words != stored.published ||
                     (!stored.identity_applied && (!stored.model.empty() || stored.config_known));
        stored.published = words;
        if (!stored.model.empty() || stored.config_known)
            stored.identity_applied = true;
        f = stored;
    }
    papplPrinterSetReasons(printer, pappl_reasons(f.reasons | f.link_reasons), kOurReasons);
    if (attributes)
        publish_attributes(printer, f);
    if (f.page_count >= 0) {
        // printer-impressions-completed is the printer's own lifetime count.
        const int now = papplPrinterGetImpressionsCompleted(printer);
        if (now != f.page_count)
            papplPrinterSetImpressionsCompleted(printer, static_cast<int>(f.page_count) - now);
    }
}

void set_link_state(Link *link, unsigned reasons, const std::string &message) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        PrinterFacts &f = facts[link->uri];
        if (f.link_reasons == reasons && f.link_message == message)
            return;
        f.link_reasons = reasons;
        f.link_message = message;
    }
    if (!message.empty() && link->printer)
        papplLogPrinter(link->printer, PAPPL_LOGLEVEL_WARN, "%s",
                        pclxl_host::one_line(message).c_str());
    publish(link->printer, link->uri);
}

void sync_impressions(Link *link) {
    if (!link->job || link->pages_done < 0)
        return;
    const int now = papplJobGetImpressionsCompleted(link->job);
    if (now != link->pages_done)
        papplJobSetImpressionsCompleted(link->job, static_cast<int>(link->pages_done) - now);
}

void handle(Link *link, const pjl::Message &m) {
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        PrinterFacts &f = facts[link->uri];
        f.pjl = Pjl::Answers;
        f.replies++;
        f.last_reply = m.kind;
        switch (m.kind) {
        case pjl::Kind::InfoId:
            changed = f.model != m.model;
            f.model = m.model;
            break;
        case pjl::Kind::InfoConfig:
            f.config = pjl::parse_config(m);
            changed = !f.config_known;
            f.config_known = true;
            break;
        case pjl::Kind::InfoStatus:
        case pjl::Kind::Device: {
            pjl::Condition c = pjl::condition_for(m.code, m.display);
            if (!m.online)
                c.reasons |= pjl::kOffline;
            changed = c.reasons != f.reasons || c.message != f.message;
            f.reasons = c.reasons;
            f.needs_person = c.needs_person;
            f.message = c.message;
            break;
        }
        case pjl::Kind::InfoPagecount:
            changed = m.number != f.page_count;
            f.page_count = m.number;
            break;
        default: break;
        }
    }
    switch (m.kind) {
    case pjl::Kind::Job:
        if (m.job_name == link->job_name) {
            link->job_started = link->job_started || m.job_start;
            if (m.job_end) {
                link->job_ended = true;
                link->job_pages = m.job_pages;
            }
        }
        break;
    case pjl::Kind::Page:
        if (link->job_started && !link->job_ended && m.number >= 0) {
            link->pages_done = m.number;
            sync_impressions(link);
        }
        break;
    case pjl::Kind::XlError: {
        char text[512];
        std::snprintf(text, sizeof text, "The printer reports a PCL XL error: %s%s%s%s%s",
                      m.error.empty() ? "unknown" : m.error.c_str(), m.op.empty() ? "" : " in ",
                      m.op.c_str(), m.position >= 0 ? " at " : "",
                      m.position >= 0 ? ("position " + std::to_string(m.position)).c_str() : "");
        link->xl_error = text;
        break;
    }
    default: break;
    }
    if (changed) {
        if (m.kind == pjl::Kind::InfoStatus || m.kind == pjl::Kind::Device)
            papplLogPrinter(link->printer, PAPPL_LOGLEVEL_INFO, "Printer status %d: %s", m.code,
                            pclxl_host::one_line(m.display).c_str());
        publish(link->printer, link->uri);
    }
}

// Reads what the printer has sent, without waiting. False when it closed.
bool read_back(Link *link) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = recv(link->fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            link->reader.feed(buffer, static_cast<size_t>(n));
            continue;
        }
        // Nothing more for now, unless the printer hung up (handling the
        // messages may change errno).
        const bool open = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
        if (n == 0) {
            link->reader.finish();
            link->closed = true;
        }
        pjl::Message m;
        while (link->reader.next(&m))
            handle(link, m);
        return open;
    }
}

void disconnect(Link *link) {
    if (link->fd >= 0)
        close(link->fd);
    link->fd = -1;
    link->closed = false;
}

// One connect attempt within the connect timeout; the error text otherwise.
bool connect_once(Link *link, std::string *error) {
    addrinfo hints{}, *found = nullptr;
    hints.ai_socktype = SOCK_STREAM;
    const int status = getaddrinfo(link->host.c_str(), link->port.c_str(), &hints, &found);
    if (status != 0) {
        *error = gai_strerror(status);
        return false;
    }
    *error = "no address";
    for (addrinfo *a = found; a; a = a->ai_next) {
        const int fd =
            socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            *error = std::strerror(errno);
            continue;
        }
        int e = connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(static_cast<int>(link->times.connect * 1000));
        while (e == EINPROGRESS) {
            if (stopping(link)) {
                e = ECANCELED;
                break;
            }
            if (Clock::now() >= deadline) {
                e = ETIMEDOUT;
                break;
            }
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, kSliceMs) > 0) {
                socklen_t len = sizeof e;
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &len) != 0)
                    e = errno;
            }
        }
        if (e == 0) {
            const int on = 1;
            setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            link->fd = fd;
            freeaddrinfo(found);
            return true;
        }
        close(fd);
        *error = e == ETIMEDOUT ? "no answer within the connect timeout" : std::strerror(e);
    }
    freeaddrinfo(found);
    return false;
}

// Connects, retrying while `wait` until cancel or shutdown.
bool ensure_connected(Link *link, bool wait) {
    if (link->fd >= 0 || link->host.empty())
        return true;
    for (;;) {
        if (stopping(link))
            return false;
        std::string error;
        if (connect_once(link, &error)) {
            set_link_state(link, 0, "");
            return true;
        }
        char text[512];
        std::snprintf(text, sizeof text, "Cannot reach the printer at %s:%s: %s.%s",
                      link->host.c_str(), link->port.c_str(), error.c_str(),
                      wait ? " Trying again." : "");
        set_link_state(link, pjl::kOffline, text);
        if (link->job)
            papplJobSetMessage(link->job, "Waiting for the printer: %s", text);
        if (!wait)
            return false;
        const auto until =
            Clock::now() + std::chrono::milliseconds(static_cast<int>(link->times.retry * 1000));
        while (Clock::now() < until && !stopping(link))
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
}

bool needs_person(const Link *link) {
    std::lock_guard<std::mutex> lock(mutex);
    return facts[link->uri].needs_person;
}

// Sends all of `data` on our socket, reading the back channel meanwhile
// unless the dialogue goes through the device.
bool send_socket(Link *link, const void *data, size_t length) {
    const char *p = static_cast<const char *>(data);
    auto progress = Clock::now();
    while (length > 0) {
        if (stopping(link)) {
            link->failure = std::string("Stopped in the middle of sending: ") + stop_reason(link);
            return false;
        }
        pollfd pfd{link->fd, POLLOUT | POLLIN, 0};
        const int ready = poll(&pfd, 1, kSliceMs);
        if (ready > 0 && (pfd.revents & POLLIN) && !link->via && !read_back(link)) {
            link->failure = "The printer closed the connection in the middle of the job.";
            return false;
        }
        if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            link->failure = "The connection to the printer broke in the middle of the job.";
            return false;
        }
        if (ready > 0 && (pfd.revents & POLLOUT)) {
            const ssize_t n = send(link->fd, p, length, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                p += n;
                length -= static_cast<size_t>(n);
                progress = Clock::now();
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                link->failure =
                    std::string("Sending to the printer failed: ") + std::strerror(errno) + ".";
                return false;
            }
        }
        const double idle = std::chrono::duration<double>(Clock::now() - progress).count();
        if (idle >= link->times.write) {
            // A printer waiting for paper or a person may take its time.
            if (needs_person(link)) {
                progress = Clock::now();
                continue;
            }
            char text[256];
            std::snprintf(text, sizeof text,
                          "The printer took no data for %g seconds (timed out); the job is "
                          "aborted, part of it may have printed.",
                          link->times.write);
            set_link_state(link, pjl::kOffline, "The printer stopped taking data (timed out).");
            link->failure = text;
            return false;
        }
    }
    return true;
}

// Sends the dialogue's `data`: on our socket, or through the device.
bool send_all(Link *link, const void *data, size_t length) {
    if (!link->via)
        return send_socket(link, data, length);
    if (papplDeviceWrite(link->via, data, length) < 0) {
        if (link->failure.empty())
            link->failure = "Sending to the printer failed.";
        return false;
    }
    papplDeviceFlush(link->via);
    return link->failure.empty();
}

bool send_text(Link *link, const std::string &text) {
    return send_all(link, text.data(), text.size());
}

// Reads what comes back within about a quarter of a second (through the
// device: one read, as long as the device waits). False when the printer
// closed the connection.
bool read_some(Link *link) {
    if (!link->via) {
        pollfd pfd{link->fd, POLLIN, 0};
        return poll(&pfd, 1, kSliceMs) <= 0 || read_back(link);
    }
    char buffer[4096];
    const auto start = Clock::now();
    const ssize_t n = papplDeviceRead(link->via, buffer, sizeof buffer);
    if (n > 0) {
        link->reader.feed(buffer, static_cast<size_t>(n));
        pjl::Message m;
        while (link->reader.next(&m))
            handle(link, m);
    } else if (Clock::now() - start < std::chrono::milliseconds(kSliceMs)) {
        // Nothing (a device cannot tell a timeout from a hang-up): not busily.
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
    return true;
}

// Reads the back channel until `done` holds or `seconds` pass. The clock
// stops while the printer waits for a person when `patient`.
template <typename Done> bool read_until(Link *link, double seconds, bool patient, Done done) {
    auto start = Clock::now();
    while (!done()) {
        if (stopping(link))
            return false;
        if (std::chrono::duration<double>(Clock::now() - start).count() >= seconds) {
            if (!patient || !needs_person(link))
                return false;
            start = Clock::now();
        }
        if (!read_some(link))
            return done();
    }
    return true;
}

std::string pjl_name(pappl_job_t *job) {
    return "pclxl-printer-app " + std::to_string(papplPrinterGetID(papplJobGetPrinter(job))) + "-" +
           std::to_string(papplJobGetID(job));
}

// The status queries; true when the printer answered them.
Pjl pjl_state(const Link *link) {
    std::lock_guard<std::mutex> lock(mutex);
    return facts[link->uri].pjl;
}

// The model's quirks, as far as the printer has told its model.
pclxl_host::Quirks link_quirks(const Link *link) {
    std::string model;
    {
        std::lock_guard<std::mutex> lock(mutex);
        model = facts[link->uri].model;
    }
    return quirks_for_model(model);
}

// The status queries the model knows; true when the printer answered them.
bool query_status(Link *link, double seconds) {
    const pclxl_host::Quirks quirks = link_quirks(link);
    static const struct {
        const char *command;
        pjl::Kind reply;
    } questions[] = {{"INFO ID", pjl::Kind::InfoId},
                     {"INFO CONFIG", pjl::Kind::InfoConfig},
                     {"INFO STATUS", pjl::Kind::InfoStatus},
                     {"INFO PAGECOUNT", pjl::Kind::InfoPagecount}};
    std::string q = std::string(kUel) + "@PJL\r\n";
    pjl::Kind last = pjl::Kind::Other;
    for (const auto &question : questions)
        if (quirks.pjl_supported(question.command)) {
            q += std::string("@PJL ") + question.command + "\r\n";
            last = question.reply;
        }
    q += kUel;
    long before;
    {
        std::lock_guard<std::mutex> lock(mutex);
        PrinterFacts &f = facts[link->uri];
        f.last_query = Clock::now();
        before = f.replies;
    }
    if (last == pjl::Kind::Other)
        return pjl_state(link) == Pjl::Answers;
    if (!send_text(link, q))
        return false;
    // The answer to the last question ends the exchange.
    read_until(link, seconds, false, [&] {
        std::lock_guard<std::mutex> lock(mutex);
        const PrinterFacts &f = facts[link->uri];
        return f.replies > before && f.last_reply == last;
    });
    std::lock_guard<std::mutex> lock(mutex);
    PrinterFacts &f = facts[link->uri];
    // A printer that hung up said nothing about PJL.
    if (f.pjl == Pjl::Unknown && !link->closed)
        f.pjl = f.replies > before ? Pjl::Answers : Pjl::Silent;
    return f.pjl == Pjl::Answers;
}

// Device callbacks.

bool link_open(pappl_device_t *device, const char *uri, const char *) {
    chain_sigterm();
    char scheme[32], userpass[64], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass,
                        host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK ||
        !*host) {
        papplDeviceError(device, "Bad printer address \"%s\".", uri);
        return false;
    }
    auto link = std::make_unique<Link>();
    link->host = host;
    link->port = std::to_string(port > 0 ? port : 9100);
    link->uri = uri;
    const std::string query = query_of(uri);
    link->times.connect = seconds_option(query, "connect-timeout", link->times.connect);
    link->times.write = seconds_option(query, "write-timeout", link->times.write);
    link->times.end = seconds_option(query, "end-timeout", link->times.end);
    link->times.retry = seconds_option(query, "retry-interval", link->times.retry);
    link->times.answer = seconds_option(query, "answer-timeout", link->times.answer);
    link->times.status = seconds_option(query, "status-interval", link->times.status);
    link->snmp_port = static_cast<int>(seconds_option(query, "snmp-port", link->snmp_port));
    link->via_device = text_option(query, "back-channel") == "device";
    if (const std::string c = text_option(query, "snmp-community"); !c.empty())
        link->community = c;
    {
        std::lock_guard<std::mutex> lock(mutex);
        links.insert(link.get());
    }
    papplDeviceSetData(device, link.release());
    return true;
}

void link_close(pappl_device_t *device) {
    Link *link = link_of(device);
    if (!link)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        links.erase(link);
    }
    disconnect(link);
    delete link;
}

ssize_t link_write(pappl_device_t *device, const void *buffer, size_t bytes) {
    Link *link = link_of(device);
    if (!link)
        return -1;
    if (!link->failure.empty() || !ensure_connected(link, true))
        return -1;
    if (!send_socket(link, buffer, bytes)) {
        papplDeviceError(device, "%s", link->failure.c_str());
        if (link->job)
            papplJobSetMessage(link->job, "%s", link->failure.c_str());
        disconnect(link);
        return -1;
    }
    return static_cast<ssize_t>(bytes);
}

ssize_t link_read(pappl_device_t *device, void *buffer, size_t bytes) {
    Link *link = link_of(device);
    if (!link || !ensure_connected(link, false))
        return -1;
    pollfd pfd{link->fd, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(link->times.answer * 1000)) <= 0)
        return 0;
    return recv(link->fd, buffer, bytes, MSG_DONTWAIT);
}

pappl_preason_t link_status(pappl_device_t *device) {
    Link *link = link_of(device);
    if (!link)
        return PAPPL_PREASON_NONE;
    std::lock_guard<std::mutex> lock(mutex);
    const PrinterFacts &f = facts[link->uri];
    return pappl_reasons(f.reasons | f.link_reasons);
}

// The IEEE 1284 device ID, made from what INFO ID says, so that "auto"
// picks the colour or the monochrome driver.
char *link_id(pappl_device_t *device, char *buffer, size_t size) {
    Link *link = link_of(device);
    if (!link || !ensure_connected(link, false))
        return nullptr;
    if (pjl_state(link) != Pjl::Silent)
        query_status(link, link->times.answer);
    std::string model;
    {
        std::lock_guard<std::mutex> lock(mutex);
        model = facts[link->uri].model;
    }
    if (model.empty())
        return nullptr;
    const std::string id = device_id_for_model(model);
    std::snprintf(buffer, size, "%s", id.c_str());
    return buffer;
}

const bool registered = [] {
    papplDeviceAddScheme("socket", PAPPL_DEVTYPE_SOCKET, nullptr, link_open, link_close, link_read,
                         link_write, link_status, link_id);
    _papplDeviceAddFileScheme();
    _papplDeviceAddNetworkSchemes();
    _papplDeviceAddUSBScheme();
    return true;
}();

// The printer's page: what it said about itself.
bool printer_page(pappl_client_t *client, void *data) {
    pappl_system_t *system = papplClientGetSystem(client);
    pappl_printer_t *printer = papplSystemFindPrinter(
        system, nullptr, static_cast<int>(reinterpret_cast<intptr_t>(data)), nullptr);
    if (!printer)
        return false;
    PrinterFacts f;
    {
        std::lock_guard<std::mutex> lock(mutex);
        f = facts[papplPrinterGetDeviceURI(printer)];
    }
    papplClientHTMLPrinterHeader(client, printer, "What the printer says", 10, nullptr, nullptr);
    papplClientHTMLPuts(client, "<div class=\"row\"><div class=\"col-12\"><table class=\"form\">"
                                "<tbody>\n");
    const auto row = [client](const char *label, const std::string &value) {
        papplClientHTMLPrintf(client, "<tr><th>%s:</th><td>", label);
        papplClientHTMLEscape(client, value.c_str(), 0);
        papplClientHTMLPuts(client, "</td></tr>\n");
    };
    row("Status messages", f.pjl == Pjl::Answers  ? "answered (PJL)"
                           : f.pjl == Pjl::Silent ? "none: jobs are completed when sent"
                                                  : "not asked yet");
    row("Model", f.model.empty() ? "unknown" : f.model);
    row("Says",
        f.link_message.empty() ? (f.message.empty() ? "nothing yet" : f.message) : f.link_message);
    row("Lifetime page count", f.page_count >= 0 ? std::to_string(f.page_count) : "unknown");
    if (f.config_known) {
        std::string trays;
        for (const std::string &t : f.config.trays)
            trays += (trays.empty() ? "" : ", ") + t;
        row("Trays", trays.empty() ? "none listed" : trays);
        row("Duplex unit", f.config.duplex ? "yes" : "no");
    }
    papplClientHTMLPuts(client, "</tbody></table></div></div>\n");
    papplClientHTMLPrinterFooter(client);
    return true;
}

} // namespace

void link_printer_created(pappl_printer_t *printer) {
    const char *uri = papplPrinterGetDeviceURI(printer);
    if (!uri || std::strncmp(uri, "socket:", 7) != 0)
        return;
    char path[256];
    papplPrinterGetPath(printer, "printer-says", path, sizeof path);
    papplSystemAddResourceCallback(
        papplPrinterGetSystem(printer), path, "text/html", printer_page,
        reinterpret_cast<void *>(static_cast<intptr_t>(papplPrinterGetID(printer))));
    papplPrinterAddLink(printer, "Printer Says", path,
                        PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS);
}

namespace {

// The link of a job's device: our socket's, or, for a PAPPL device that
// reads back (USB, and PAPPL's own network schemes), one kept per printer
// from its first job on.
Link *job_link(pappl_job_t *job, pappl_device_t *device) {
    if (Link *link = link_of(device)) {
        link->via = link->via_device ? device : nullptr;
        return link;
    }
    const char *uri = device && job ? papplPrinterGetDeviceURI(papplJobGetPrinter(job)) : nullptr;
    if (!uri || (std::strncmp(uri, "usb:", 4) != 0 && std::strncmp(uri, "dnssd:", 6) != 0 &&
                 std::strncmp(uri, "snmp:", 5) != 0))
        return nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<Link> &link = device_links[uri];
    if (!link) {
        link = std::make_unique<Link>();
        link->uri = uri;
    }
    link->via = device;
    return link.get();
}

} // namespace

bool link_job_start(pappl_job_t *job, pappl_device_t *device) {
    Link *link = job_link(job, device);
    if (!link || link->job == job || link->ended_job_id == papplJobGetID(job))
        return true;
    link->job = job;
    link->printer = papplJobGetPrinter(job);
    link->job_name = pjl_name(job);
    link->job_started = link->job_ended = false;
    link->pages_done = link->job_pages = -1;
    const char *sides = ippGetString(papplJobGetAttribute(job, "sides"), 0, nullptr);
    if (!sides) {
        pappl_pr_driver_data_t data;
        papplPrinterGetDriverData(link->printer, &data);
        link->two_sided = data.sides_default != PAPPL_SIDES_ONE_SIDED;
    } else
        link->two_sided = std::strncmp(sides, "two-sided", 9) == 0;
    link->xl_error.clear();
    link->failure.clear();
    if (!ensure_connected(link, true))
        return false;
    if (pjl_state(link) != Pjl::Silent)
        query_status(link, link->times.answer);
    if (pjl_state(link) != Pjl::Answers) {
        papplLogJob(job, PAPPL_LOGLEVEL_INFO,
                    "The printer does not answer PJL: the job is completed when sent.");
        return true;
    }
    const pclxl_host::Quirks quirks = link_quirks(link);
    link->named_job = quirks.pjl_supported("JOB") && quirks.pjl_supported("USTATUS JOB");
    std::string prologue = kUel;
    for (const char *command : {"USTATUS DEVICE=ON", "USTATUS JOB=ON", "USTATUS PAGE=ON"})
        if (quirks.pjl_supported(command))
            prologue += std::string("@PJL ") + command + "\r\n";
    if (link->named_job) {
        prologue += "@PJL JOB NAME=\"" + link->job_name + "\"\r\n";
        papplJobSetReasons(job, PAPPL_JREASON_JOB_PRINTING, PAPPL_JREASON_NONE);
    }
    return send_text(link, prologue);
}

namespace {

// The end of the job on `link`: the printer's word on it.
bool end_job_on(Link *link, pappl_job_t *job, pappl_device_t *device, bool ok) {
    // What PAPPL still holds goes first.
    papplDeviceFlush(device);
    if (!link->failure.empty()) {
        papplJobSetMessage(job, "%s", link->failure.c_str());
        ok = false;
    }
    if (!ok || papplJobIsCanceled(job) || (link->fd < 0 && !link->host.empty()))
        return false;
    if (pjl_state(link) != Pjl::Answers) {
        papplJobSetMessage(job, "Sent. The printer does not report status (no PJL answer), so the "
                                "job is completed when sent.");
        return true;
    }
    if (!link->named_job) {
        papplJobSetMessage(job, "Sent. The printer's model does not report a job's end (its "
                                "quirks), so the job is completed when sent.");
        return true;
    }
    if (!send_text(link,
                   std::string(kUel) + "@PJL EOJ NAME=\"" + link->job_name + "\"\r\n" + kUel)) {
        papplJobSetMessage(job, "%s", link->failure.c_str());
        disconnect(link);
        return false;
    }
    papplJobSetMessage(job, "Sent; waiting for the printer to report the job's end.");
    const bool ended = read_until(link, link->times.end, true,
                                  [link] { return link->job_ended || !link->xl_error.empty(); });
    if (!link->xl_error.empty()) {
        // The job's end usually follows the report; its page count helps.
        read_until(link, 2, false, [link] { return link->job_ended; });
    }
    papplJobSetReasons(job, PAPPL_JREASON_NONE, PAPPL_JREASON_JOB_PRINTING);
    if (link->job_pages >= 0 && link->job_pages > link->pages_done)
        link->pages_done = link->job_pages;
    sync_impressions(link);
    if (!link->xl_error.empty()) {
        papplJobSetMessage(job, "%s", link->xl_error.c_str());
        papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
        return false;
    }
    if (papplJobIsCanceled(job))
        return false;
    if (!ended) {
        if (stopping(link))
            return false;
        papplJobSetMessage(job, "Sent; the printer did not report the job's end within %g seconds.",
                           link->times.end);
        return true;
    }
    // PAPPL 1.3 has no job-media-sheets-completed: the sheets go into the
    // message and the log.
    const long pages = link->pages_done < 0 ? 0 : link->pages_done;
    const long sheets = link->two_sided ? (pages + 1) / 2 : pages;
    papplJobSetMessage(job, "The printer reports the job printed, %ld page%s on %ld sheet%s.",
                       pages, pages == 1 ? "" : "s", sheets, sheets == 1 ? "" : "s");
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "job-media-sheets-completed=%ld", sheets);
    return true;
}

// Status threads still running: they use the system and its printers.
std::mutex status_mutex;
std::condition_variable status_done;
int status_threads = 0;

} // namespace

void link_shutdown() {
    // Their waits look at the shutdown every quarter second and SNMP gives
    // up within seconds; the bound only keeps a stuck library from holding
    // the exit for ever.
    std::unique_lock<std::mutex> lock(status_mutex);
    status_done.wait_for(lock, std::chrono::seconds(30), [] { return status_threads == 0; });
}

bool link_job_end(pappl_job_t *job, pappl_device_t *device, bool ok) {
    Link *link = job_link(job, device);
    if (!link)
        return ok;
    if (link->ended_job_id == papplJobGetID(job))
        return ok && link->ended_ok;
    if (link->job != job)
        return ok;
    link->ended_ok = end_job_on(link, job, device, ok);
    link->ended_job_id = papplJobGetID(job);
    // The job may be freed once it is done, and the device closed: nothing
    // here looks at them again.
    link->job = nullptr;
    link->via = nullptr;
    return link->ended_ok;
}

void link_printer_status(pappl_printer_t *printer) {
    const char *uri = papplPrinterGetDeviceURI(printer);
    if (!uri || std::strncmp(uri, "socket:", 7) != 0)
        return;
    const double interval = seconds_option(query_of(uri), "status-interval", Times().status);
    bool unpublished, recent;
    {
        std::lock_guard<std::mutex> lock(mutex);
        PrinterFacts &f = facts[uri];
        // Asked before the printer existed (the driver choice when added).
        unpublished = !f.identity_applied && (!f.model.empty() || f.config_known);
        recent = Clock::now() - f.last_query <
                 std::chrono::milliseconds(static_cast<int>(interval * 1000));
        if (!recent)
            f.last_query = Clock::now();
    }
    if (unpublished)
        publish(printer, uri);
    if (recent)
        return;
    // The answers may take seconds: the request that asked is not held up,
    // the next one sees the result.
    pappl_system_t *system = papplPrinterGetSystem(printer);
    const int id = papplPrinterGetID(printer);
    {
        std::lock_guard<std::mutex> lock(status_mutex);
        status_threads++;
    }
    std::thread([system, id] {
        // The server waits for this thread before it deletes the system.
        struct Done {
            ~Done() {
                std::lock_guard<std::mutex> lock(status_mutex);
                status_threads--;
                status_done.notify_all();
            }
        } done;
        pappl_printer_t *p = papplSystemFindPrinter(system, nullptr, id, nullptr);
        if (!p)
            return;
        std::string host, community;
        int snmp_port;
        double timeout;
        {
            DeviceTurn turn(p);
            pappl_device_t *device = turn.held() ? papplPrinterOpenDevice(p) : nullptr;
            if (!device)
                return;
            Link *link = link_of(device);
            if (!link) {
                papplPrinterCloseDevice(p);
                return;
            }
            link->printer = p;
            if (pjl_state(link) != Pjl::Silent && ensure_connected(link, false))
                query_status(link, link->times.answer);
            disconnect(link);
            host = link->host;
            community = link->community;
            snmp_port = link->snmp_port;
            timeout = std::min(link->times.answer, 2.0);
            // A job need not wait for the supplies.
            papplPrinterCloseDevice(p);
        }
        update_supplies(p, host, snmp_port, community, timeout);
    }).detach();
}

} // namespace pclxl_app
