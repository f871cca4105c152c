#include "job_options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pclxl.h"

namespace pclxl_tool {

namespace {

// Papers that both the PJL header and get_paper_pixel_pclxl() know. The
// library gives the printable area; the sheet size here only centres it.
const Paper kPapers[] = {
    {"A4", 2, 4960, 7016},      // eA4Paper, 210 x 297 mm
    {"A3", 5, 7016, 9921},      // eA3Paper, 297 x 420 mm
    {"A5", 16, 3496, 4960},     // eA5Paper, 148 x 210 mm
    {"Letter", 0, 5100, 6600},  // eLetterPaper, 8.5 x 11 in
    {"JIS_B5", 11, 4299, 6071}, // eJB5Paper, 182 x 257 mm
    {"ISO_B5", 13, 4157, 5906}, // eB5Paper, 176 x 250 mm
};

// Host media-type names and the MediaType text each page carries.
struct MediaType {
    const char *name;
    const char *pclxl;
};
const MediaType kMediaTypes[] = {
    {"plain", "Plain"},
    {"plain_1", "Plain"},
    {"plain_2", "Mid Weight"},
    {"tough_1", "Heavy"},
    {"tough_1_plus", "Heavy1P"},
    {"tough_2", "Extra Heavy"},
    {"tough_3", "Heavy3"},
    {"labels", "Labels"},
    {"gloss_labels", "Gloss Lab"},
    {"matte_labels", "Matte Lab"},
    {"tissue", "Light"},
    {"recycled_paper", "Recycled"},
    {"envelope", "Envelope"},
    {"cardstock", "Card Stock"},
    {"film", "Transparency"},
};

// Host tray names and the MediaSource enumeration each page carries:
// 1 eAutoSelect, 3 eMultiPurposeTray, 4 eUpperCassette, 5 eLowerCassette,
// 7 eThirdCassette, 8 and up the external trays. Trays the PJL header
// gives the same name get the same value.
struct Tray {
    const char *name;
    int media_source;
};
const Tray kTrays[] = {
    {"auto", 1},
    {"standard_tray", 4},
    {"tray_1", 5},
    {"tray_2", 7},
    {"k_tray_1", 4},
    {"k_tray_2", 7},
    {"k_tray_3", 8},
    {"k_tray_4", 9},
    {"mpf_tray", 3},
    {"builtin_large_tray", 10},
    {"external_large_tray", 11},
};

// --duplex words and the library's duplex texts.
struct Duplex {
    const char *name;
    const char *library;
};
const Duplex kDuplex[] = {
    {"simplex", "simplex"},
    {"long-edge", "duplex_long_edge"},
    {"short-edge", "duplex_short_edge"},
};

template <typename T, size_t N> const T *find_name(const T (&table)[N], const char *name) {
    for (const T &row : table)
        if (!std::strcmp(row.name, name))
            return &row;
    return nullptr;
}

template <typename T, size_t N>
void bad_choice(const char *command, const char *option, const char *value, const T (&table)[N]) {
    std::fprintf(stderr, "pclxl %s: unknown %s '%s'; valid choices:", command, option, value);
    for (const T &row : table)
        std::fprintf(stderr, " %s", row.name);
    std::fputc('\n', stderr);
}

const char *duplex_library_text(const std::string &duplex) {
    const Duplex *d = find_name(kDuplex, duplex.c_str());
    return d ? d->library : "simplex";
}

const char *media_type_text(const std::string &name) {
    const MediaType *m = find_name(kMediaTypes, name.c_str());
    return m ? m->pclxl : "Plain";
}

int media_source_value(const std::string &name) {
    const Tray *t = find_name(kTrays, name.c_str());
    return t ? t->media_source : 1;
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
    "  -o FILE              output file; - is standard output\n"
    "  --verbose            show the library's trace lines\n";

JobOptions::JobOptions() : paper(&kPapers[0]) {}

int32_t JobOptions::area_width() const {
    int32_t w = 0, h = 0;
    get_paper_pixel_pclxl(paper->name, &w, &h);
    return w;
}

int32_t JobOptions::area_height() const {
    int32_t w = 0, h = 0;
    get_paper_pixel_pclxl(paper->name, &w, &h);
    return h;
}

int JobOptions::margin_x() const { return (paper->sheet_width - area_width()) / 2; }
int JobOptions::margin_y() const { return (paper->sheet_height - area_height()) / 2; }

std::string JobOptions::describe() const {
    std::string s = std::string("paper ") + paper->name + ", media " + media_type + ", tray " +
                    tray + ", " + (color ? "colour" : "gray") + ", " + duplex + ", " +
                    std::to_string(copies) + (copies == 1 ? " copy" : " copies");
    if (collate)
        s += ", collated";
    return s;
}

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
                                             "--duplex", "--copies",     "-o"};
    bool wants_value = false;
    for (const char *o : kWithValue)
        wants_value |= !std::strcmp(arg, o);
    if (wants_value && i + 1 >= argc) {
        std::fprintf(stderr, "pclxl %s: %s needs a value\n", command, arg);
        return OptionResult::Error;
    }
    const char *value = wants_value ? argv[i + 1] : nullptr;

    if (!std::strcmp(arg, "--paper")) {
        const Paper *p = find_name(kPapers, value);
        if (!p) {
            bad_choice(command, "paper", value, kPapers);
            return OptionResult::Error;
        }
        opts.paper = p;
    } else if (!std::strcmp(arg, "--media-type")) {
        if (!find_name(kMediaTypes, value)) {
            bad_choice(command, "media type", value, kMediaTypes);
            return OptionResult::Error;
        }
        opts.media_type = value;
    } else if (!std::strcmp(arg, "--tray")) {
        if (!find_name(kTrays, value)) {
            bad_choice(command, "tray", value, kTrays);
            return OptionResult::Error;
        }
        opts.tray = value;
    } else if (!std::strcmp(arg, "--duplex")) {
        if (!find_name(kDuplex, value)) {
            bad_choice(command, "duplex mode", value, kDuplex);
            return OptionResult::Error;
        }
        opts.duplex = value;
    } else if (!std::strcmp(arg, "--copies")) {
        long n = 0;
        // PageCopies is a 16-bit count.
        if (!parse_number(command, "copies", value, 1, 65535, n))
            return OptionResult::Error;
        opts.copies = static_cast<uint32_t>(n);
    } else if (!std::strcmp(arg, "-o")) {
        opts.output = value;
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

namespace {

void write_to_file(const void *buffer, unsigned int length, const void *context) {
    std::fwrite(buffer, 1, length, static_cast<FILE *>(const_cast<void *>(context)));
}

} // namespace

JobWriter::~JobWriter() {
    if (!done_)
        abort();
}

bool JobWriter::begin() {
    if (opts_.output == "-") {
        out_ = stdout;
    } else {
        temp_path_ = opts_.output + ".XXXXXX";
        int fd = mkstemp(&temp_path_[0]);
        if (fd < 0 || !(out_ = fdopen(fd, "wb"))) {
            std::fprintf(stderr, "pclxl %s: cannot write '%s': %s\n", command_,
                         opts_.output.c_str(), std::strerror(errno));
            if (fd >= 0) {
                close(fd);
                unlink(temp_path_.c_str());
            }
            temp_path_.clear();
            done_ = true;
            return false;
        }
        // mkstemp makes the file private; give it the usual permissions.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    progress_ = isatty(STDERR_FILENO);
    if (!opts_.verbose) {
        // The library traces every job, session and page operation on
        // stderr; the tool's own messages keep the real stderr.
        std::fflush(stderr);
        saved_stderr_ = dup(STDERR_FILENO);
        int null_fd = open("/dev/null", O_WRONLY);
        if (saved_stderr_ >= 0 && null_fd >= 0) {
            dup2(null_fd, STDERR_FILENO);
            err_ = fdopen(dup(saved_stderr_), "w");
            if (err_)
                setvbuf(err_, nullptr, _IONBF, 0);
        }
        if (null_fd >= 0)
            close(null_fd);
    }

    pclxl_init(out_, write_to_file);
    pclxl_start_job_new(opts_.paper->name, opts_.media_type.c_str(), opts_.tray.c_str(),
                        opts_.color ? "color" : "gray", opts_.collate,
                        duplex_library_text(opts_.duplex), opts_.copies);
    pclxl_begin_session(kResolution, kResolution);
    pclxl_open_datasource();
    return true;
}

void JobWriter::begin_page() {
    pclxl_begin_page(0, 0, duplex_library_text(opts_.duplex), opts_.paper->name,
                     opts_.paper->media_size_code, media_type_text(opts_.media_type),
                     media_source_value(opts_.tray), static_cast<uint16_t>(opts_.margin_x()),
                     static_cast<uint16_t>(opts_.margin_y()), 0.0f, 0.0f);
}

void JobWriter::end_page() {
    pclxl_end_page(opts_.collate, static_cast<uint16_t>(opts_.copies));
    ++pages_;
    if (progress_)
        std::fprintf(err(), "\rpclxl %s: page %d", command_, pages_);
}

void JobWriter::restore_stderr() {
    if (progress_ && pages_ > 0)
        std::fputc('\n', err());
    progress_ = false;
    if (err_) {
        std::fclose(err_);
        err_ = nullptr;
    }
    if (saved_stderr_ >= 0) {
        std::fflush(stderr);
        dup2(saved_stderr_, STDERR_FILENO);
        close(saved_stderr_);
        saved_stderr_ = -1;
    }
}

bool JobWriter::finish() {
    pclxl_close_datasource();
    pclxl_end_session();
    pclxl_end_job();
    pclxl_init(nullptr, nullptr);
    restore_stderr();
    done_ = true;
    bool ok = std::fflush(out_) == 0 && !std::ferror(out_);
    if (out_ != stdout) {
        ok = (std::fclose(out_) == 0) && ok;
        out_ = nullptr;
        if (ok && std::rename(temp_path_.c_str(), opts_.output.c_str()) != 0)
            ok = false;
        if (!ok)
            unlink(temp_path_.c_str());
    }
    if (!ok)
        std::fprintf(stderr, "pclxl %s: writing '%s' failed: %s\n", command_, opts_.output.c_str(),
                     std::strerror(errno));
    return ok;
}

void JobWriter::abort() {
    pclxl_init(nullptr, nullptr);
    restore_stderr();
    done_ = true;
    if (out_ && out_ != stdout) {
        std::fclose(out_);
        unlink(temp_path_.c_str());
    }
    out_ = nullptr;
}

} // namespace pclxl_tool
