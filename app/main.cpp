// pclxl-printer-app: an IPP Everywhere printer application for PCL XL
// printers on PAPPL. `server` runs one; every other sub-command is a
// client of the server that -u names (or of the system's server on
// localhost), except `devices` and `drivers`, which look at this machine
// and this program.
#include <pappl/pappl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "client.h"
#include "dnssd_guard.h"
#include "driver.h"
#include "pclxl.h"
#include "server.h"

namespace {

using pclxl_app::kAppName;

void usage(FILE *out) {
    std::fprintf(out,
                 "Usage: %s SUB-COMMAND [OPTIONS] [FILE...]\n"
                 "Sub-commands:\n"
                 "  server              run a server (-o server-port=N, spool-directory=DIR,\n"
                 "                      log-file=FILE|-, log-level=..., listen-hostname=HOST)\n"
                 "  add                 add a printer (-d NAME -m DRIVER -v DEVICE-URI)\n"
                 "  autoadd             add this machine's USB printers\n"
                 "  cancel              cancel a job (-j ID) or all jobs (-a)\n"
                 "  default             show the default printer, or set it (-d NAME)\n"
                 "  delete              delete a printer (-d NAME)\n"
                 "  devices             list the printers this machine can reach\n"
                 "  drivers             list the drivers\n"
                 "  jobs                list a printer's jobs\n"
                 "  modify              change a printer's defaults (-d NAME -o NAME=VALUE)\n"
                 "  options             list a printer's options\n"
                 "  pause, resume       stop or restart printing on a printer\n"
                 "  printers            list the printers\n"
                 "  shutdown            stop the server\n"
                 "  status              show the server's or a printer's state\n"
                 "  submit              print files (the default sub-command)\n"
                 "Options:\n"
                 "  -u URI              the server (ipp://HOST:PORT/ipp/system) or a printer\n"
                 "                      (ipp://HOST:PORT/ipp/print/NAME); without it, the\n"
                 "                      system's server, ipp://localhost:%d/ipp/system\n"
                 "  -d NAME             the printer   -j ID    the job   -a  all jobs\n"
                 "  -m DRIVER           the driver    -v URI   the device\n"
                 "  -n COPIES, -t TITLE, -o NAME=VALUE  job, printer and server options\n"
                 "No sub-command starts a server: when none answers, it says so and fails.\n",
                 kAppName, pclxl_app::kDefaultPort);
}

bool known_subcommand(const std::string &word) {
    static const char *const names[] = {"add",     "autoadd",  "cancel", "default", "delete",
                                        "devices", "drivers",  "jobs",   "modify",  "options",
                                        "pause",   "printers", "resume", "server",  "shutdown",
                                        "status",  "submit"};
    for (const char *name : names)
        if (word == name)
            return true;
    return false;
}

// Parses the command line; false (after one line on stderr) when it is wrong.
bool parse(int argc, char *argv[], pclxl_app::Command *command) {
    static const struct {
        char letter;
        const char *name; // the option it sets; nullptr for a flag
        const char *what;
    } letters[] = {{'d', "printer-name", "printer name"},
                   {'h', "server-hostname", "host name"},
                   {'j', "job-id", "job ID"},
                   {'m', "driver", "driver name"},
                   {'n', "copies", "copy count"},
                   {'t', "job-name", "title"},
                   {'u', "printer-uri", "URI"},
                   {'v', "device-uri", "device URI"},
                   {'o', "", "option"}};
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--") {
            for (i++; i < argc; i++)
                command->files.push_back(argv[i]);
            break;
        }
        if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            std::fprintf(stderr, "%s: unknown option '%s'\n", kAppName, arg.c_str());
            return false;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            for (size_t k = 1; k < arg.size(); k++) {
                const char letter = arg[k];
                if (letter == 'a') {
                    command->num_options = cupsAddOption("cancel-all", "true", command->num_options,
                                                         &command->options);
                    continue;
                }
                bool found = false;
                for (const auto &l : letters) {
                    if (l.letter != letter)
                        continue;
                    found = true;
                    if (k + 1 != arg.size() || i + 1 >= argc) {
                        std::fprintf(stderr, "%s: missing %s after '-%c'\n", kAppName, l.what,
                                     letter);
                        return false;
                    }
                    const char *value = argv[++i];
                    command->num_options =
                        *l.name
                            ? cupsAddOption(l.name, value, command->num_options, &command->options)
                            : cupsParseOptions(value, command->num_options, &command->options);
                }
                if (!found) {
                    std::fprintf(stderr, "%s: unknown option '-%c'\n", kAppName, letter);
                    return false;
                }
            }
            continue;
        }
        if (command->name.empty() && known_subcommand(arg)) {
            command->name = arg;
        } else if (arg == "-" || access(arg.c_str(), R_OK) == 0) {
            command->files.push_back(arg);
        } else {
            std::fprintf(stderr, "%s: cannot read '%s': %s\n", kAppName, arg.c_str(),
                         std::strerror(errno));
            return false;
        }
    }
    if (command->name.empty())
        command->name = "submit";
    if (!command->files.empty() && command->name != "submit") {
        std::fprintf(stderr, "%s: '%s' takes no files\n", kAppName, command->name.c_str());
        return false;
    }
    return true;
}

int show_drivers(const pclxl_app::Command &command) {
    const char *device_id = cupsGetOption("device-id", command.num_options, command.options);
    const char *only =
        device_id ? pclxl_app::autoadd_callback(nullptr, nullptr, device_id, nullptr) : nullptr;
    if (device_id && !only)
        return 0;
    for (int i = 0; i < pclxl_app::kDriverCount; i++) {
        const pappl_pr_driver_t &d = pclxl_app::kDrivers[i];
        if (!only || !std::strcmp(only, d.name))
            std::printf("%s \"%s\" \"%s\"\n", d.name, d.description,
                        d.device_id ? d.device_id : "");
    }
    return pclxl_app::finish_output();
}

bool list_device(const char *info, const char *uri, const char *device_id, void *verbose) {
    std::printf("%s\n", uri);
    if (verbose && info)
        std::printf("    %s\n", info);
    if (verbose && device_id)
        std::printf("    %s\n", device_id);
    return false;
}

void device_error(const char *message, void *) {
    std::fprintf(stderr, "%s: %s\n", kAppName, message);
}

// This machine's printers: USB, DNS-SD (when an avahi-daemon answers) and
// SNMP on the local networks.
int show_devices(const pclxl_app::Command &command) {
    void *verbose = cupsGetOption("verbose", command.num_options, command.options)
                        ? const_cast<char *>("verbose")
                        : nullptr;
    const bool dnssd = pclxl_app::dnssd_daemon_answers();
    papplDeviceList(dnssd ? PAPPL_DEVTYPE_ALL : PAPPL_DEVTYPE_ALL & ~PAPPL_DEVTYPE_DNS_SD,
                    list_device, verbose, device_error, nullptr);
    if (!dnssd || pclxl_app::dnssd_browse_refused())
        std::fprintf(stderr,
                     "%s: DNS-SD discovery is unavailable (no avahi-daemon answers); network "
                     "printers are added by device URI, e.g. -v socket://HOST:9100\n",
                     kAppName);
    return pclxl_app::finish_output();
}

// With a standard descriptor closed, the next file opened (the server's
// listening socket or state file, the client's connection) would take its
// number and receive whatever is written to stdout or stderr.
void keep_standard_descriptors() {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        if (fd == 1)
            pclxl_app::stdout_closed = true;
        if (open("/dev/null", O_RDWR) != fd)
            _exit(1);
    }
}

} // namespace

int main(int argc, char *argv[]) {
    keep_standard_descriptors();
    for (int i = 1; i < argc; i++) {
        if (!std::strcmp(argv[i], "--help")) {
            usage(stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version")) {
            std::puts(PCLXL_VERSION_STRING);
            return 0;
        }
    }
    pclxl_app::Command command;
    if (!parse(argc, argv, &command))
        return 1;
    const int status = command.name == "server"
                           ? pclxl_app::run_server(command.num_options, command.options)
                       : command.name == "drivers" ? show_drivers(command)
                       : command.name == "devices" ? show_devices(command)
                                                   : pclxl_app::run_client(command);
    cupsFreeOptions(command.num_options, command.options);
    return status;
}
