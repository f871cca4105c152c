// The checks that end the argument handling of the subcommands that write
// print jobs, with their messages.
#ifndef PCLXL_TOOL_ARGUMENTS_H
#define PCLXL_TOOL_ARGUMENTS_H

#include <cstdio>
#include <string>
#include <vector>

#include "job_options.h"

namespace pclxl_tool {

// An argument that neither the job options nor the subcommand took: an
// input file, or (when it starts with '-' and is not "-") an unknown
// option, which prints an error and the usage to stderr and returns false
// (exit 2). An input moves `i` past it.
bool take_input(const char *command, const char *arg, int &i, std::vector<std::string> &inputs,
                void (*usage)(FILE *));

// After the arguments: there must be an input (else `no_input` and the
// usage go to stderr), and without -o the job goes to standard output,
// unless that is a terminal. Returns false (exit 2) after an error line.
bool check_inputs_and_output(const char *command, const std::vector<std::string> &inputs,
                             const char *no_input, JobOptions &opts, void (*usage)(FILE *));

// Ends a font lookup: frees fontconfig's caches and reports the result of
// opening the fonts, the error when `found` is false (return false, exit
// 1), else the note about a substitute font, if any.
bool report_fonts(const char *command, bool found, const std::string &note,
                  const std::string &error);

} // namespace pclxl_tool

#endif
