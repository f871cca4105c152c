#include "arguments.h"

#include <unistd.h>

#include "glyphs.h"
#include "text_line.h"

namespace pclxl_tool {

using pclxl_host::release_font_lookup;

using pclxl_host::one_line;

bool take_input(const char *command, const char *arg, int &i, std::vector<std::string> &inputs,
                void (*usage)(FILE *)) {
    if (arg[0] == '-' && arg[1]) {
        std::fprintf(stderr, "pclxl %s: unknown option '%s'\n", command, one_line(arg).c_str());
        usage(stderr);
        return false;
    }
    inputs.emplace_back(arg);
    ++i;
    return true;
}

bool check_inputs_and_output(const char *command, const std::vector<std::string> &inputs,
                             const char *no_input, JobOptions &opts, void (*usage)(FILE *)) {
    if (inputs.empty()) {
        std::fprintf(stderr, "pclxl %s: %s\n", command, no_input);
        usage(stderr);
        return false;
    }
    if (opts.output.empty()) {
        if (isatty(STDOUT_FILENO)) {
            std::fprintf(stderr, "pclxl %s: give the output file with -o FILE\n", command);
            return false;
        }
        opts.output = "-";
    }
    return true;
}

bool report_fonts(const char *command, bool found, const std::string &note,
                  const std::string &error) {
    release_font_lookup();
    if (!found) {
        std::fprintf(stderr, "pclxl %s: %s\n", command, one_line(error).c_str());
        return false;
    }
    if (!note.empty())
        std::fprintf(stderr, "pclxl %s: %s\n", command, note.c_str());
    return true;
}

} // namespace pclxl_tool
