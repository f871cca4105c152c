#include "job_options.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_io.h"
#include "pclxl.h"

namespace pclxl_tool {

namespace {

// The tool's --duplex words.
struct Duplex {
    const char *name;
};
const Duplex kDuplex[] = {{"simplex"}, {"long-edge"}, {"short-edge"}};

// Only the papers with a sheet size are offered.
bool offered(const pclxl_media::Paper &paper) { return paper.sheet_width > 0; }
template <typename T> bool offered(const T &) { return true; }

template <typename T, size_t N>
void bad_choice(const char *command, const char *option, const char *value, const T (&table)[N]) {
    std::fprintf(stderr, "pclxl %s: unknown %s '%s'; valid choices:", command, option, value);
    for (const T &row : table)
        if (offered(row))
            std::fprintf(stderr, " %s", row.name);
    std::fputc('\n', stderr);
}

} // namespace

const char kJobOptionsHelp[] =
    "job options:\n"
    "  --paper NAME         A4 (default), A3, A5, Letter, JIS_B5, ISO_B5\n"
    "  --media-type NAME    plain (default), plain_1, plain_2, tough_1, labels, film, ...\n"
    "  --tray NAME          auto (default), standard_tray, tray_1, tray_2, mpf_tray, ...\n"
    "  --color | --gray     colour (default) or grayscale job\n"
    "  --duplex MODE        simplex (default), long-edge, short-edge\n"
    "  --copies N           number of copies, 1 to 65535\n"
    "  --collate            collate the copies\n"
    "  --dpi N              the job's resolution: 300, 600 (default) or 1200\n"
    "  --title TEXT         the job's name (default: the first input's file name)\n"
    "  --user NAME          the job's owner (default: the login name)\n"
    "  -o FILE              output file or device; - is standard output\n"
    "  --verbose            show the library's trace lines\n";

JobOptions::JobOptions() {
    paper = &pclxl_media::kPapers[0];
    if (const passwd *pw = getpwuid(getuid()))
        user = pw->pw_name;
    else if (const char *name = std::getenv("LOGNAME"))
        user = name;
}

void JobOptions::default_title(const std::string &input) {
    if (title_given)
        return;
    title = input == "-" ? "stdin" : input.substr(input.rfind('/') + 1);
    title_given = true;
}

int32_t JobOptions::area_width() const {
    int32_t w = 0, h = 0;
    get_paper_pixel_pclxl(paper->name, &w, &h);
    return units(w);
}

int32_t JobOptions::area_height() const {
    int32_t w = 0, h = 0;
    get_paper_pixel_pclxl(paper->name, &w, &h);
    return units(h);
}

int JobOptions::margin_x() const { return (units(paper->sheet_width) - area_width()) / 2; }
int JobOptions::margin_y() const { return (units(paper->sheet_height) - area_height()) / 2; }

bool parse_number(const char *command, const char *option, const char *text, long min, long max,
                  long &value) {
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || errno || v < min || v > max) {
        std::fprintf(stderr,
                     "pclxl %s: bad %s '%s'; valid choices: a whole number from %ld to %ld\n",
                     command, option, text, min, max);
        return false;
    }
    value = v;
    return true;
}

OptionResult take_job_option(const char *command, int argc, char **argv, int &i, JobOptions &opts) {
    const char *arg = argv[i];
    static const char *const kWithValue[] = {"--paper",  "--media-type", "--tray",
                                             "--duplex", "--copies",     "-o",
                                             "--dpi",    "--title",      "--user"};
    bool wants_value = false;
    for (const char *o : kWithValue)
        wants_value |= !std::strcmp(arg, o);
    if (wants_value && i + 1 >= argc) {
        std::fprintf(stderr, "pclxl %s: %s needs a value\n", command, arg);
        return OptionResult::Error;
    }
    const char *value = wants_value ? argv[i + 1] : nullptr;

    if (!std::strcmp(arg, "--paper")) {
        const pclxl_media::Paper *p = pclxl_host::find_paper(value);
        if (!p || !offered(*p)) {
            bad_choice(command, "paper", value, pclxl_media::kPapers);
            return OptionResult::Error;
        }
        opts.paper = p;
    } else if (!std::strcmp(arg, "--media-type")) {
        const pclxl_media::MediaType *m = pclxl_host::find_media_type(value);
        if (!m) {
            bad_choice(command, "media type", value, pclxl_media::kMediaTypes);
            return OptionResult::Error;
        }
        opts.media_type = m;
    } else if (!std::strcmp(arg, "--tray")) {
        const pclxl_media::Tray *t = pclxl_host::find_tray(value);
        if (!t) {
            bad_choice(command, "tray", value, pclxl_media::kTrays);
            return OptionResult::Error;
        }
        opts.tray = t;
    } else if (!std::strcmp(arg, "--duplex")) {
        bool known = false;
        for (const Duplex &d : kDuplex)
            known |= !std::strcmp(d.name, value);
        if (!known || !pclxl_host::parse_sides(value, opts.sides)) {
            bad_choice(command, "duplex mode", value, kDuplex);
            return OptionResult::Error;
        }
    } else if (!std::strcmp(arg, "--copies")) {
        long n = 0;
        // PageCopies is a 16-bit count.
        if (!parse_number(command, "copies", value, 1, 65535, n))
            return OptionResult::Error;
        opts.copies = static_cast<uint32_t>(n);
    } else if (!std::strcmp(arg, "-o")) {
        opts.output = value;
    } else if (!std::strcmp(arg, "--dpi")) {
        if (std::strcmp(value, "300") && std::strcmp(value, "600") && std::strcmp(value, "1200")) {
            std::fprintf(stderr, "pclxl %s: bad dpi '%s'; valid choices: 300 600 1200\n", command,
                         value);
            return OptionResult::Error;
        }
        opts.resolution = std::atoi(value);
    } else if (!std::strcmp(arg, "--title")) {
        opts.title = value;
        opts.title_given = true;
    } else if (!std::strcmp(arg, "--user")) {
        opts.user = value;
    } else if (!std::strcmp(arg, "--color") || !std::strcmp(arg, "--colour")) {
        opts.color = true;
    } else if (!std::strcmp(arg, "--gray") || !std::strcmp(arg, "--grey")) {
        opts.color = false;
    } else if (!std::strcmp(arg, "--collate")) {
        opts.collate = true;
    } else if (!std::strcmp(arg, "--verbose")) {
        opts.verbose = true;
    } else {
        return OptionResult::NotMine;
    }
    i += wants_value ? 2 : 1;
    return OptionResult::Taken;
}

} // namespace pclxl_tool
