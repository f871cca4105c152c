#include "dnssd_guard.h"

#include <atomic>
#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/simple-watch.h>
#include <dlfcn.h>

namespace {

// The browser handed out when there is nothing to browse with: PAPPL
// waits a moment, finds no devices and frees it.
char idle_browser;
AvahiServiceBrowser *const kIdleBrowser = reinterpret_cast<AvahiServiceBrowser *>(&idle_browser);

std::atomic<pappl_system_t *> log_system{nullptr};
std::atomic<bool> refused{false};

bool running(AvahiClient *client) {
    return client && avahi_client_get_state(client) == AVAHI_CLIENT_S_RUNNING;
}

void note_refusal() {
    if (refused.exchange(true))
        return;
    if (pappl_system_t *system = log_system.load())
        papplLog(system, PAPPL_LOGLEVEL_WARN,
                 "DNS-SD discovery is unavailable (no avahi-daemon answers): network printers "
                 "are added by host name or device URI.");
}

// avahi's own definition of NAME, the one this program's stands in front of.
template <typename F> F avahi(const char *name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

namespace pclxl_app {

void dnssd_guard_log_to(pappl_system_t *system) { log_system = system; }

bool dnssd_browse_refused() { return refused.load(); }

bool dnssd_daemon_answers() {
    AvahiSimplePoll *poll = avahi_simple_poll_new();
    if (!poll)
        return false;
    int error = 0;
    AvahiClient *client = avahi_client_new(
        avahi_simple_poll_get(poll), static_cast<AvahiClientFlags>(0),
        [](AvahiClient *, AvahiClientState, void *) {}, nullptr, &error);
    const bool answers = running(client);
    if (client)
        avahi_client_free(client);
    avahi_simple_poll_free(poll);
    return answers;
}

} // namespace pclxl_app

extern "C" {

AvahiServiceBrowser *avahi_service_browser_new(AvahiClient *client, AvahiIfIndex interface,
                                               AvahiProtocol protocol, const char *type,
                                               const char *domain, AvahiLookupFlags flags,
                                               AvahiServiceBrowserCallback callback,
                                               void *userdata) {
    static const auto next =
        avahi<decltype(&avahi_service_browser_new)>("avahi_service_browser_new");
    if (!running(client) || !next) {
        note_refusal();
        return kIdleBrowser;
    }
    return next(client, interface, protocol, type, domain, flags, callback, userdata);
}

int avahi_service_browser_free(AvahiServiceBrowser *browser) {
    static const auto next =
        avahi<decltype(&avahi_service_browser_free)>("avahi_service_browser_free");
    if (browser == kIdleBrowser || !next)
        return 0;
    return next(browser);
}

AvahiServiceResolver *avahi_service_resolver_new(AvahiClient *client, AvahiIfIndex interface,
                                                 AvahiProtocol protocol, const char *name,
                                                 const char *type, const char *domain,
                                                 AvahiProtocol aprotocol, AvahiLookupFlags flags,
                                                 AvahiServiceResolverCallback callback,
                                                 void *userdata) {
    static const auto next =
        avahi<decltype(&avahi_service_resolver_new)>("avahi_service_resolver_new");
    if (!running(client) || !next)
        return nullptr;
    return next(client, interface, protocol, name, type, domain, aprotocol, flags, callback,
                userdata);
}

AvahiRecordBrowser *avahi_record_browser_new(AvahiClient *client, AvahiIfIndex interface,
                                             AvahiProtocol protocol, const char *name,
                                             uint16_t clazz, uint16_t type, AvahiLookupFlags flags,
                                             AvahiRecordBrowserCallback callback, void *userdata) {
    static const auto next = avahi<decltype(&avahi_record_browser_new)>("avahi_record_browser_new");
    if (!running(client) || !next)
        return nullptr;
    return next(client, interface, protocol, name, clazz, type, flags, callback, userdata);
}

} // extern "C"
