// The sub-commands that talk to a server over IPP: the server -u names, or
// the system's server on localhost. None of them ever starts a server.
#ifndef PCLXL_APP_CLIENT_H
#define PCLXL_APP_CLIENT_H

#include <cups/cups.h>
#include <string>
#include <vector>

namespace pclxl_app {

struct Command {
    std::string name;    // the sub-command
    int num_options = 0; // -o options and those the letters set
    cups_option_t *options = nullptr;
    std::vector<std::string> files; // submit's documents ("-": standard input)
};

// Runs one client sub-command; the exit status.
int run_client(const Command &command);

// Set when the program started with standard output closed.
extern bool stdout_closed;

// Flushes standard output: 0, or 1 after a line on stderr when it could
// not be written.
int finish_output();

} // namespace pclxl_app

#endif
