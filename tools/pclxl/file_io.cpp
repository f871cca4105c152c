#include "file_io.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <unistd.h>

namespace pclxl_tool {

int keep_above_standard(int fd) {
    if (fd < 0 || fd > 2)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int saved = errno;
    close(fd);
    errno = saved;
    return moved;
}

void hold_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            // The lowest free descriptor is `fd` itself.
            const int held = open("/dev/null", O_RDONLY);
            if (held >= 0 && held != fd)
                close(held);
        }
}

int open_fd(const char *path, int flags, mode_t mode) {
    return keep_above_standard(open(path, flags | O_CLOEXEC, mode));
}

std::FILE *open_file(const char *path, const char *mode) {
    int flags = O_RDONLY;
    if (mode[0] == 'w')
        flags = O_WRONLY | O_CREAT | O_TRUNC;
    else if (mode[0] == 'a')
        flags = O_WRONLY | O_CREAT | O_APPEND;
    if (std::strchr(mode, '+'))
        flags = (flags & ~(O_RDONLY | O_WRONLY)) | O_RDWR;
    const int fd = open_fd(path, flags);
    if (fd < 0)
        return nullptr;
    std::FILE *f = fdopen(fd, mode);
    if (!f) {
        const int saved = errno;
        close(fd);
        errno = saved;
    }
    return f;
}

int temp_fd() {
    const char *env = std::getenv("TMPDIR");
    const std::string dir = env && *env ? env : "/tmp";
    int fd = open_fd(dir.c_str(), O_RDWR | O_TMPFILE, 0600);
    if (fd < 0) { // a file system without unnamed files
        std::string name = dir + "/pclxl.XXXXXX";
        fd = keep_above_standard(mkostemp(&name[0], O_CLOEXEC));
        if (fd >= 0)
            unlink(name.c_str());
    }
    return fd;
}

std::FILE *temp_file() {
    const int fd = temp_fd();
    if (fd < 0)
        return nullptr;
    std::FILE *f = fdopen(fd, "w+b");
    if (!f)
        close(fd);
    return f;
}

} // namespace pclxl_tool
