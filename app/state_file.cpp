#include "state_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pclxl_app {

namespace {

bool starts_with(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

std::string directory_of(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string error_text(const char *what) { return std::string(what) + ": " + std::strerror(errno); }

} // namespace

std::string state_defect(std::string_view text, int printers) {
    if (text.empty())
        return "the file is empty";
    if (text.find('\0') != std::string_view::npos)
        return "the file holds binary data";
    if (text.back() != '\n')
        return "the file ends in the middle of a line";
    bool system_lines = false, open = false;
    int sections = 0;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (starts_with(line, "<Printer ")) {
            if (open)
                return "a printer section is not closed";
            open = true;
        } else if (line == "</Printer>") {
            if (!open)
                return "a printer section ends that never began";
            open = false;
            sections++;
        } else if (!open && starts_with(line, "NextPrinterID ")) {
            system_lines = true;
        }
    }
    if (open)
        return "the last printer section is not closed";
    if (!system_lines)
        return "the system settings are missing";
    if (printers >= 0 && sections != printers)
        return "it holds " + std::to_string(sections) + " printers, not " +
               std::to_string(printers);
    return "";
}

bool read_whole_file(const std::string &path, std::string *text, std::string *why) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *why = error_text("cannot open it");
        return false;
    }
    text->clear();
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *why = error_text("cannot read it");
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        text->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

std::string commit_state(const std::string &temporary, const std::string &path, int printers) {
    std::string text, why;
    if (!read_whole_file(temporary, &text, &why)) {
        unlink(temporary.c_str());
        return "the new copy " + why;
    }
    why = state_defect(text, printers);
    if (why.empty()) {
        // The data must be on disk before the name points at it: a crash
        // then leaves either the old file or the new one, never a part.
        const int fd = open(temporary.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            why = error_text("cannot reopen the new copy");
        else if (fsync(fd) != 0)
            why = error_text("cannot flush the new copy to disk");
        if (fd >= 0 && close(fd) != 0 && why.empty())
            why = error_text("cannot close the new copy");
    } else {
        why = "the new copy is incomplete (" + why + ")";
    }
    if (why.empty() && rename(temporary.c_str(), path.c_str()) != 0)
        why = error_text("cannot rename the new copy");
    if (!why.empty()) {
        unlink(temporary.c_str());
        return why;
    }
    // The rename itself lives in the directory.
    const int dir = open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return "";
}

std::string set_state_aside(const std::string &path) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    struct tm tm_now;
    gmtime_r(&now, &tm_now);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &tm_now);
    std::string aside = path + ".unreadable-" + stamp;
    // Never over an earlier one.
    for (int n = 1; access(aside.c_str(), F_OK) == 0; n++)
        aside = path + ".unreadable-" + stamp + "-" + std::to_string(n);
    if (rename(path.c_str(), aside.c_str()) != 0)
        return "";
    return aside;
}

} // namespace pclxl_app
