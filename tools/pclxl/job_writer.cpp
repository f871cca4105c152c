#include "job_writer.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_io.h"
#include "pclxl.h"
#include "text_line.h"

namespace pclxl_tool {

using pclxl_host::one_line;

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
    const pclxl_job_settings settings = opts_.settings();
    pclxl_start_job_with(&settings);
    pclxl_begin_session(static_cast<uint16_t>(opts_.resolution),
                        static_cast<uint16_t>(opts_.resolution));
    pclxl_open_datasource();
    return true;
}

// The library's trace, warning and error lines: shown with --verbose.
void JobWriter::on_message(const char *line, void *writer) {
    if (static_cast<JobWriter *>(writer)->opts_.verbose)
        std::fprintf(stderr, "%s\n", one_line(line).c_str());
}

void JobWriter::begin_page() {
    pclxl_begin_page(0, 0, opts_.duplex_mode(), opts_.paper->name, opts_.paper->media_size_code,
                     opts_.page_media_type(), opts_.tray->media_source,
                     static_cast<uint16_t>(opts_.margin_x()),
                     static_cast<uint16_t>(opts_.margin_y()), 0.0f, 0.0f);
}

void JobWriter::end_page() {
    pclxl_end_page(opts_.collate, static_cast<uint16_t>(opts_.page_copies()));
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
