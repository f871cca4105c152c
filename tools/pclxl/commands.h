// The subcommands of the `pclxl` tool. Each one lives in its own
// cmd_<name>.cpp and is listed once in the table in main.cpp.
#ifndef PCLXL_TOOL_COMMANDS_H
#define PCLXL_TOOL_COMMANDS_H

namespace pclxl_tool {

// Runs a subcommand. argv[0] is the subcommand's name, the rest are its
// arguments. Returns the process exit status.
using CommandFn = int (*)(int argc, char **argv);

struct Command {
    const char *name;
    CommandFn run;
    const char *summary; // one line for `pclxl --help`
};

int cmd_dump(int argc, char **argv);
int cmd_testpage(int argc, char **argv);
int cmd_convert(int argc, char **argv);
int cmd_text(int argc, char **argv);

} // namespace pclxl_tool

#endif
