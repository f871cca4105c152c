// DNS-SD discovery when no avahi-daemon answers. PAPPL 1.3 asks avahi for
// a service browser without checking that its client exists or is
// connected: without a daemon (or without the system bus) that aborts the
// whole process on an assertion, or leaves PAPPL's DNS-SD lock taken for
// good. This program defines the few avahi constructors PAPPL calls, so
// that PAPPL's calls come here first: with a running client they go on to
// avahi; without one, a browse finds nothing and a lookup fails the way
// PAPPL already handles.
#ifndef PCLXL_APP_DNSSD_GUARD_H
#define PCLXL_APP_DNSSD_GUARD_H

#include <pappl/pappl.h>

namespace pclxl_app {

// Where the first refusal is logged (the server's system), or nullptr.
void dnssd_guard_log_to(pappl_system_t *system);

// Whether a browse was refused since the program started.
bool dnssd_browse_refused();

// Whether an avahi-daemon answers now.
bool dnssd_daemon_answers();

} // namespace pclxl_app

#endif
