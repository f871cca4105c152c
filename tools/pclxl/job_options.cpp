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
#include "text_line.h"

namespace pclxl_tool {

using pclxl_host::one_line;

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
    "  --dpi N              the job's resolution: 300, 600 (default) or 1200\n"
    "  --title TEXT         the job's name (default: the first input's file name)\n"
    "  --user NAME          the job's owner (default: the login name)\n"
    "  -o FILE              output file or device; - is standard output\n"
    "  --verbose            show the library's trace lines\n";

JobOptions::JobOptions() : paper(&pclxl_media::kPapers[0]) {
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
    } else if (!std::strcmp(arg, "--dpi")) {
        if (std::strcmp(value, "300") && std::strcmp(value, "600") && std::strcmp(value, "1200")) {
            std::fprintf(stderr, "pclxl %s: bad dpi '%s'; valid choices: 300 600 1200\n", command,
                         value);
            return OptionResult::Error;
        }
        opts.dpi = std::atoi(value);
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

namespace {

bool write_all(int fd, const char *data, size_t n, int &error) {
    while (n > 0) {
        const ssize_t done = write(fd, data, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            error = done < 0 ? errno : EIO;
            return false;
        }
        data += done;
        n -= size_t(done);
    }
    return true;
}

bool same_file(const struct stat &a, int fd) {
    struct stat b;
    return fstat(fd, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

void JobWriter::on_write(const void *buffer, unsigned int length, const void *context) {
    auto *self = static_cast<JobWriter *>(const_cast<void *>(context));
    if (self->error_)
        return;
    try { // no exception may cross the library
        self->pending_.append(static_cast<const char *>(buffer), length);
    } catch (const std::bad_alloc &) {
        self->error_ = ENOMEM;
    }
    if (self->whole_job_ && self->pending_.size() >= (1u << 16))
        self->flush();
}

JobWriter::~JobWriter() {
    if (open_)
        abort();
}

bool JobWriter::open_output() {
    const char *path = opts_.output.c_str();
    struct stat st;
    if (opts_.output == "-" || (stat(path, &st) == 0 && same_file(st, STDOUT_FILENO))) {
        fd_ = STDOUT_FILENO;
        target_ = Target::Stream;
        return true;
    }
    const bool exists = stat(path, &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        // A device, a FIFO or a socket takes the job as it comes.
        fd_ = open_fd(path, O_WRONLY | O_NOCTTY);
        target_ = Target::Stream;
        return fd_ >= 0;
    }
    if (!exists && errno != ENOENT)
        return false;
    const mode_t mask = umask(0);
    umask(mask);
    mode_ = exists ? st.st_mode & 07777 : 0666 & ~mask;
    path_ = path;
    struct stat link;
    if (exists) {
        // Replace what the link points to, not the link.
        if (char *real = realpath(path, nullptr)) {
            path_ = real;
            std::free(real);
        }
    } else if (lstat(path, &link) == 0) {
        target_ = Target::Copy; // a link to a file yet to be made
    }
    if (target_ != Target::Copy) {
        temp_path_ = path_ + ".XXXXXX";
        fd_ = keep_above_standard(mkostemp(&temp_path_[0], O_CLOEXEC));
        if (fd_ >= 0) {
            target_ = Target::Replace;
            fchmod(fd_, mode_);
            return true;
        }
        temp_path_.clear();
        if (errno != EACCES && errno != EPERM && errno != EROFS)
            return false;
        // A writable file in a folder that takes no new file.
        if (access(path, W_OK) != 0)
            return false;
        target_ = Target::Copy;
    }
    fd_ = temp_fd();
    return fd_ >= 0;
}

bool JobWriter::begin_whole_job() {
    whole_job_ = true;
    return start_output();
}

// Opens the output and makes it the library's sink.
bool JobWriter::start_output() {
    if (!open_output()) {
        std::fprintf(stderr, "pclxl %s: cannot write '%s': %s\n", command_,
                     one_line(opts_.output).c_str(), std::strerror(errno));
        if (fd_ > 2)
            close(fd_);
        fd_ = -1;
        return false;
    }
    open_ = true;
    // A reader that goes away is reported as a failed write.
    signal(SIGPIPE, SIG_IGN);
    pclxl_init(this, on_write);
    pclxl_set_message_handler(on_message, this);
    return true;
}

bool JobWriter::finish_whole_job(bool complete) {
    flush();
    if (!complete && target_ != Target::Stream) {
        abort();
        return false;
    }
    end_library();
    return close_output();
}

bool JobWriter::begin() {
    if (!start_output())
        return false;
    progress_ = isatty(STDERR_FILENO);
    pclxl_job_settings settings{};
    settings.size = sizeof settings;
    settings.paper_name = opts_.paper->name;
    settings.media_type = opts_.media_type.c_str();
    settings.media_source = opts_.tray.c_str();
    settings.color_mode = opts_.color ? "color" : "gray";
    settings.collate = opts_.collate;
    settings.duplex_mode = duplex_library_text(opts_.duplex);
    settings.copies = opts_.copies;
    settings.job_name = opts_.title.c_str();
    settings.user_name = opts_.user.empty() ? nullptr : opts_.user.c_str();
    settings.resolution = static_cast<uint16_t>(opts_.dpi);
    pclxl_start_job_with(&settings);
    pclxl_begin_session(static_cast<uint16_t>(opts_.dpi), static_cast<uint16_t>(opts_.dpi));
    pclxl_open_datasource();
    return true;
}

// The library's trace, warning and error lines: shown with --verbose.
void JobWriter::on_message(const char *line, void *writer) {
    if (static_cast<JobWriter *>(writer)->opts_.verbose)
        std::fprintf(stderr, "%s\n", one_line(line).c_str());
}

void JobWriter::begin_page() {
    pclxl_begin_page(0, 0, duplex_library_text(opts_.duplex), opts_.paper->name,
                     opts_.paper->media_size_code, media_type_text(opts_.media_type),
                     media_source_value(opts_.tray), static_cast<uint16_t>(opts_.margin_x()),
                     static_cast<uint16_t>(opts_.margin_y()), 0.0f, 0.0f);
}

void JobWriter::end_page() {
    pclxl_end_page(opts_.collate, static_cast<uint16_t>(opts_.copies));
    flush();
    ++pages_;
    if (progress_)
        std::fprintf(stderr, "\rpclxl %s: page %d", command_, pages_);
}

void JobWriter::flush() {
    if (!error_)
        write_all(fd_, pending_.data(), pending_.size(), error_);
    pending_.clear();
}

void JobWriter::end_library() {
    pclxl_init(nullptr, nullptr);
    pclxl_set_message_handler(nullptr, nullptr);
    if (progress_ && pages_ > 0)
        std::fputc('\n', stderr);
    progress_ = false;
    open_ = false;
}

// Copies the finished job from the unnamed temporary file into path_.
bool JobWriter::put_in_place() {
    if (target_ == Target::Replace) {
        const bool ok = close(fd_) == 0 && std::rename(temp_path_.c_str(), path_.c_str()) == 0;
        fd_ = -1;
        return ok;
    }
    const int out = open_fd(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode_);
    if (out < 0)
        return false;
    char buf[1 << 16];
    bool ok = lseek(fd_, 0, SEEK_SET) == 0;
    for (ssize_t n; ok && (n = read(fd_, buf, sizeof buf)) != 0;)
        ok = n > 0 && write_all(out, buf, size_t(n), error_);
    const int saved = errno;
    ok = close(out) == 0 && ok;
    if (error_)
        errno = error_;
    else if (!ok && saved)
        errno = saved;
    return ok;
}

bool JobWriter::finish() {
    pclxl_close_datasource();
    pclxl_end_session();
    pclxl_end_job();
    flush();
    end_library();
    return close_output();
}

// Puts a file into place or closes the stream; reports a failed write.
bool JobWriter::close_output() {
    bool ok = error_ == 0;
    if (!ok)
        errno = error_;
    if (ok && target_ != Target::Stream)
        ok = put_in_place();
    if (ok && target_ == Target::Stream && fd_ > 2)
        ok = close(fd_) == 0;
    const int saved = errno;
    if (fd_ > 2)
        close(fd_);
    fd_ = -1;
    if (!temp_path_.empty() && !ok)
        unlink(temp_path_.c_str());
    if (!ok)
        std::fprintf(stderr, "pclxl %s: writing '%s' failed: %s\n", command_,
                     one_line(opts_.output).c_str(), std::strerror(saved));
    return ok;
}

void JobWriter::abort() {
    pending_.clear(); // the page that failed
    if (target_ == Target::Stream && pages_ > 0) {
        pclxl_close_datasource();
        pclxl_end_session();
        pclxl_end_job();
        flush();
    }
    end_library();
    if (fd_ > 2)
        close(fd_);
    fd_ = -1;
    if (!temp_path_.empty())
        unlink(temp_path_.c_str());
}

} // namespace pclxl_tool
