// pclxl: command-line tool over libpclxl and its PCL XL reader.
//
//   pclxl COMMAND [ARGS...]
//   pclxl --help | --version
#include <cstdio>
#include <cstring>
#include <new>

#include "commands.h"
#include "file_io.h"
#include "pclxl.h"

namespace {

using pclxl_tool::Command;

// Add a subcommand here and in commands.h; its code goes in cmd_<name>.cpp.
const Command kCommands[] = {
    {"dump", pclxl_tool::cmd_dump, "read and check a PJL / PCL XL print job"},
    {"testpage", pclxl_tool::cmd_testpage, "write a two-page job that shows every capability"},
    {"convert", pclxl_tool::cmd_convert, "print PNG and PNM images, one per page"},
    {"text", pclxl_tool::cmd_text, "print plain UTF-8 text"},
};

void usage(FILE *out) {
    std::fprintf(out, "usage: pclxl COMMAND [ARGS...]\n"
                      "       pclxl --help | --version\n\ncommands:\n");
    for (const Command &c : kCommands)
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\n`pclxl COMMAND --help` describes a command.\n");
}

// The library's identifying lines, one per line.
void version() {
    size_t count = 0;
    const char *const *lines = pclxl_library_info(&count);
    for (size_t i = 0; i < count; ++i)
        std::printf("%s\n", lines[i]);
}

} // namespace

int main(int argc, char **argv) {
    pclxl_tool::hold_standard_descriptors();
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    const char *name = argv[1];
    if (!std::strcmp(name, "--help") || !std::strcmp(name, "-h") || !std::strcmp(name, "help")) {
        usage(stdout);
        return 0;
    }
    if (!std::strcmp(name, "--version")) {
        version();
        return 0;
    }
    for (const Command &c : kCommands)
        if (!std::strcmp(name, c.name)) {
            // Allocation failures the commands do not handle themselves
            // end here, after the jobs being written are dropped.
            try {
                return c.run(argc - 1, argv + 1);
            } catch (const std::bad_alloc &) {
                std::fprintf(stderr, "pclxl %s: out of memory\n", name);
                return 1;
            }
        }
    std::fprintf(stderr, "pclxl: unknown command '%s'\n", name);
    usage(stderr);
    return 2;
}
