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
const size_t kDuplexCount = sizeof kDuplex / sizeof kDuplex[0];

// Only the papers with a sheet size are offered.
bool offered(const Paper &paper) { return paper.sheet_width > 0; }
template <typename T> bool offered(const T &) { return true; }

template <typename T> const T *find_name(const T *table, size_t count, const char *name) {
    for (size_t i = 0; i < count; i++)
        if (offered(table[i]) && !std::strcmp(table[i].name, name))
            return &table[i];
    return nullptr;
}

template <typename T>
void bad_choice(const char *command, const char *option, const char *value, const T *table,
                size_t count) {
    std::fprintf(stderr, "pclxl %s: unknown %s '%s'; valid choices:", command, option, value);
    for (size_t i = 0; i < count; i++)
        if (offered(table[i]))
            std::fprintf(stderr, " %s", table[i].name);
    std::fputc('\n', stderr);
}

const char *duplex_library_text(const std::string &duplex) {
    const Duplex *d = find_name(kDuplex, kDuplexCount, duplex.c_str());
    return d ? d->library : "simplex";
}

const char *media_type_text(const std::string &name) {
    const pclxl_media::MediaType *m = pclxl_media::find_media_type(name.c_str());
    return m ? m->pclxl_name : "Plain";
}

int media_source_value(const std::string &name) {
    const pclxl_media::Tray *t = pclxl_media::find_tray(name.c_str());
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

JobOptions::JobOptions() : paper(&pclxl_media::kPapers[0]) {}

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
        const Paper *p = find_name(pclxl_media::kPapers, pclxl_media::kPaperCount, value);
        if (!p) {
            bad_choice(command, "paper", value, pclxl_media::kPapers, pclxl_media::kPaperCount);
            return OptionResult::Error;
        }
        opts.paper = p;
    } else if (!std::strcmp(arg, "--media-type")) {
        if (!pclxl_media::find_media_type(value)) {
            bad_choice(command, "media type", value, pclxl_media::kMediaTypes,
                       pclxl_media::kMediaTypeCount);
            return OptionResult::Error;
        }
        opts.media_type = value;
    } else if (!std::strcmp(arg, "--tray")) {
        if (!pclxl_media::find_tray(value)) {
            bad_choice(command, "tray", value, pclxl_media::kTrays, pclxl_media::kTrayCount);
            return OptionResult::Error;
        }
        opts.tray = value;
    } else if (!std::strcmp(arg, "--duplex")) {
        if (!find_name(kDuplex, kDuplexCount, value)) {
            bad_choice(command, "duplex mode", value, kDuplex, kDuplexCount);
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
