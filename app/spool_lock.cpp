#include "spool_lock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pclxl_app {

int lock_spool_directory(const std::string &directory, const std::string &name, std::string *why) {
    const std::string path = directory + "/" + name;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        *why = "cannot use the spool directory " + directory + ": " + std::strerror(errno);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        char pid[32] = "";
        const ssize_t n = pread(fd, pid, sizeof pid - 1, 0);
        close(fd);
        if (error != EWOULDBLOCK) {
            *why = "cannot lock " + path + ": " + std::strerror(error);
            return -1;
        }
        std::string holder = n > 0 ? std::string(pid, static_cast<size_t>(n)) : "";
        while (!holder.empty() && (holder.back() == '\n' || holder.back() == ' '))
            holder.pop_back();
        *why = "another server" + (holder.empty() ? "" : " (process " + holder + ")") +
               " is using the spool directory " + directory;
        return -1;
    }
    const std::string mine = std::to_string(getpid()) + "\n";
    // Should this fail, the lock holds all the same; only the process id
    // in another server's message is lost.
    if (ftruncate(fd, 0) == 0 && pwrite(fd, mine.data(), mine.size(), 0) < 0) {
    }
    return fd;
}

} // namespace pclxl_app
