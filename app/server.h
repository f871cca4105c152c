// The `server` sub-command: one PAPPL system on a loopback (or given)
// address, its spool directory locked against a second server, its state
// saved whole or not at all.
#ifndef PCLXL_APP_SERVER_H
#define PCLXL_APP_SERVER_H

#include <cups/cups.h>
#include <string>

namespace pclxl_app {

constexpr const char *kAppName = "pclxl-printer-app";
// The port of the system's server (the one the systemd unit starts), which
// the other sub-commands talk to when not told otherwise.
constexpr int kDefaultPort = 8632;

// Where the printers, defaults and jobs live when no spool directory is
// given: a system directory for root, the user's configuration otherwise.
std::string default_spool_directory();

// Runs the server until it is shut down; the exit status.
int run_server(int num_options, cups_option_t *options);

} // namespace pclxl_app

#endif
